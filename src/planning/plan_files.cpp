#include "planning/plan_files.h"

#include "foundation/two_stripes.h"

namespace {

// Below this many, a second thread costs more than it saves.
constexpr size_t kFewestForTwoThreads = 256;

} // namespace

bool PlannedApart(const ResultNaming& naming)
{
    return !naming.numberedAgainst && naming.pattern.IsEmpty();
}

std::vector<char> PlanFiles(const std::vector<CFileInfo*>& files, const QStringList& folders,
                            const PlannedDecoders& decoders, CCoder* coder, int presetIndex,
                            bool decodeOnly, bool directInput, const ResultNaming& naming,
                            const QString& tempFolder, const AudioChain& chain)
{
    std::vector<char> planned(files.size(), 0);
    const auto stripe = [&](size_t first, size_t step) {
        for (size_t k = first; k < files.size(); k += step)
            planned[k] = PlanFile(*files[k], decoders, coder, presetIndex, folders[qsizetype(k)],
                                  decodeOnly, directInput, naming, tempFolder, chain);
    };
    InTwoStripes(PlannedApart(naming) && files.size() >= kFewestForTwoThreads, stripe);
    return planned;
}
