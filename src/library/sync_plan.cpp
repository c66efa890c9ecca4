#include "library/sync_plan.h"

#include <QHash>
#include <QSet>

using namespace Qt::StringLiterals;
using Kind = SyncAction::Kind;

namespace {

bool Within(const QString& path, const QString& folder)
{
    const QString prefix = folder.endsWith(u'/') ? folder : folder + u'/';
    return path == folder || path.startsWith(prefix);
}

bool Overlaps(const QStringList& roots, const QStringList& recorded)
{
    for (const QString& root : roots) {
        for (const QString& other : recorded) {
            if (Within(root, other) || Within(other, root))
                return true;
        }
    }
    return false;
}

QString Refusal(const SyncInputs& inputs)
{
    for (const QString& root : inputs.roots) {
        if (!inputs.rootHoldsFiles(root))
            return u"the library folder %1 is missing or empty: a copy is never emptied for a "
                   u"drive that is not there"_s.arg(root);
    }
    if (!inputs.recordRoots.isEmpty() && !Overlaps(inputs.roots, inputs.recordRoots))
        return u"this copy was made from other folders (%1)"_s.arg(
            inputs.recordRoots.join(u", "_s));
    return {};
}

bool StillRecorded(const std::optional<FoundResult>& found, const CopyEntry& entry)
{
    return found && found->size == entry.resultSize &&
           SameResultTime(entry.resultTimeNs, found->timeNs);
}

class CSyncPlanner
{
public:
    explicit CSyncPlanner(const SyncInputs& given) : inputs(given)
    {
        for (qsizetype i = 0; i < inputs.record.size(); ++i)
            bySource.insert(inputs.record.at(i).source, i);
        for (const SyncSource& source : inputs.sources)
            present.insert(source.path);
    }

    SyncPlan Plan()
    {
        for (const SyncSource& source : inputs.sources)
            plan.actions << ForSource(source);
        for (qsizetype i = 0; i < inputs.record.size(); ++i) {
            const CopyEntry& entry = inputs.record.at(i);
            if (!present.contains(entry.source) && !consumed.contains(i))
                plan.actions << ForGone(entry);
        }
        return plan;
    }

private:
    const QString& SettingsOf(const SyncSource& source) const
    {
        return source.settings.isEmpty() ? inputs.settings : source.settings;
    }

    SyncAction ForSource(const SyncSource& source)
    {
        const auto known = bySource.constFind(source.path);
        if (known == bySource.cend())
            return ForNew(source);
        const CopyEntry& entry = inputs.record.at(*known);
        const std::optional<FoundResult> found = inputs.findResult(entry.result);
        if (!found)
            return {Kind::Convert, source.path, source.result, {}, u"its result is gone"_s};
        if (!StillRecorded(found, entry))
            return {Kind::KeepReplaced,
                    source.path,
                    entry.result,
                    {},
                    u"its result was changed outside orvel"_s};
        if (entry.sourceSize != source.size || entry.sourceTimeNs != source.timeNs)
            return {Kind::Convert, source.path, source.result, {}, u"its source changed"_s};
        if (entry.settings != SettingsOf(source))
            return {Kind::Convert, source.path, source.result, {}, u"the settings changed"_s};
        if (entry.result != source.result)
            return {Kind::Move, source.path, source.result, entry.result, u"its name changed"_s};
        return {Kind::UpToDate, source.path, source.result, {}, {}};
    }

    // A source the record does not know by its path may be one that was renamed or moved:
    // the same size and audio as a recorded source that is gone.
    SyncAction ForNew(const SyncSource& source)
    {
        QString digest;
        for (qsizetype i = 0; i < inputs.record.size(); ++i) {
            const CopyEntry& entry = inputs.record.at(i);
            if (present.contains(entry.source) || consumed.contains(i) ||
                entry.sourceSize != source.size || entry.settings != SettingsOf(source) ||
                entry.sourceDigest.isEmpty())
                continue;
            if (digest.isEmpty())
                digest = inputs.digest(source.path);
            if (digest != entry.sourceDigest ||
                !StillRecorded(inputs.findResult(entry.result), entry))
                continue;
            consumed.insert(i);
            return {Kind::Move, source.path, source.result, entry.result,
                    u"its source moved from %1"_s.arg(entry.source)};
        }
        return {Kind::Add, source.path, source.result, {}, {}};
    }

    SyncAction ForGone(const CopyEntry& entry)
    {
        const std::optional<FoundResult> found = inputs.findResult(entry.result);
        if (!found)
            return {Kind::Forget, entry.source, entry.result, {}, u"its result is gone already"_s};
        if (!StillRecorded(found, entry))
            return {Kind::KeepReplaced,
                    entry.source,
                    entry.result,
                    {},
                    u"its source is gone, and the result was changed outside orvel"_s};
        if (!inputs.deleteGone)
            return {Kind::KeepGone,
                    entry.source,
                    entry.result,
                    {},
                    u"its source is gone (--delete removes it)"_s};
        return {Kind::Remove, entry.source, entry.result, {}, u"its source is gone"_s};
    }

    const SyncInputs& inputs;
    QHash<QString, qsizetype> bySource;
    QSet<QString> present;
    QSet<qsizetype> consumed;
    SyncPlan plan;
};

} // namespace

int SyncPlan::Count(SyncAction::Kind kind) const
{
    return int(std::count_if(actions.cbegin(), actions.cend(),
                             [kind](const SyncAction& action) { return action.kind == kind; }));
}

SyncPlan PlanSync(const SyncInputs& inputs)
{
    SyncPlan plan;
    plan.refusal = Refusal(inputs);
    if (!plan.refusal.isEmpty())
        return plan;
    plan = CSyncPlanner(inputs).Plan();
    const int removals = plan.Count(Kind::Remove);
    if (removals > 0 && removals * 2 > inputs.record.size() && !inputs.deleteMany)
        plan.refusal = u"%1 of the copy's %2 results would be removed, more than half of it "
                       u"(--delete-many allows that)"_s.arg(removals)
                           .arg(inputs.record.size());
    return plan;
}
