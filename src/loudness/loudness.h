#pragma once

#include <QString>
#include <atomic>
#include <thread>
#include <vector>

class QIODevice;

// The loudness of one file as ReplayGain needs it: the energies of its 400 ms gating blocks
// (kept so that an album can be gated over all of its files at once) and its true peak.
struct CTrackLoudness
{
    std::vector<double> blockEnergies; // mean square of the K-weighted channels, per block
    double truePeak = 0.0;             // linear; 1.0 is full scale

    // Integrated loudness in LUFS; silence and files shorter than one block give the
    // absolute gate, -70 LUFS, as the meters report it.
    double Loudness() const;
};

// Integrated loudness (EBU R128: absolute gate -70 LUFS, relative gate -10 LU) over the
// blocks of several files together, as an album's loudness is defined.
double GatedLoudness(const std::vector<const CTrackLoudness*>& tracks);

// An album's values: its loudness gated over all of its tracks' blocks, and its largest peak.
struct CAlbumLoudness
{
    double loudness = 0.0; // LUFS
    double peak = 0.0;     // linear
};
CAlbumLoudness MeasureAlbum(const std::vector<const CTrackLoudness*>& tracks);

// Measures a PCM or floating-point WAV file (RIFF, RF64 or WAVE_FORMAT_EXTENSIBLE) as players
// read it, channels in the file's order. False, with the reason in *error, for a file that is
// not such a WAV or cannot be read, or when *cancel turns true.
bool MeasureWavLoudness(const QString& path, CTrackLoudness& result, QString* error,
                        const std::atomic<bool>* cancel = nullptr);
// The same on a file open for reading from its start; `path` names it in the reason. A file
// cut short while it is read is refused with that reason.
bool MeasureWavLoudness(QIODevice& file, const QString& path, CTrackLoudness& result,
                        QString* error, const std::atomic<bool>* cancel = nullptr);

// Measures a coder's WAV on a thread of its own while the coder reads it, so that the slot
// waits for the slower of the two only.
class CLoudnessThread
{
public:
    CLoudnessThread() = default;
    CLoudnessThread(const CLoudnessThread&) = delete;
    CLoudnessThread& operator=(const CLoudnessThread&) = delete;
    ~CLoudnessThread();

    void Start(const QString& wavPath);
    bool Started() const { return !path.isEmpty(); }
    // Waits for the measurement (ending it early when cancel is set). True when measured.
    bool Finish(bool cancel, CTrackLoudness& result, QString& error);

private:
    QString path;
    std::thread thread;
    std::atomic<bool> cancelled{false};
    bool measured = false;
    CTrackLoudness loudness;
    QString failure;
};
