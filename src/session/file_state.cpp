#include "session/file_state.h"

namespace {

LeftOutCause CauseOf(RunResult::Outcome outcome)
{
    switch (outcome) {
    case RunResult::Outcome::OwnInput:
        return LeftOutCause::OwnInput;
    case RunResult::Outcome::OtherSource:
        return LeftOutCause::OtherSource;
    case RunResult::Outcome::SharedOutput:
        return LeftOutCause::SharedOutput;
    default:
        break;
    }
    return LeftOutCause::None;
}

} // namespace

bool IsFinal(FileState state)
{
    switch (state) {
    case FileState::LeftOut:
    case FileState::UpToDate:
    case FileState::Converted:
    case FileState::Failed:
    case FileState::Stopped:
        return true;
    case FileState::NotPlanned:
    case FileState::Planned:
    case FileState::Queued:
    case FileState::Decoding:
    case FileState::Coding:
    case FileState::Held:
        break;
    }
    return false;
}

FileStateChange StateAfter(const FileStateChange& current, bool isCoder, bool isLast,
                           const RunResult* ended)
{
    // An image's track may be coded while the image is still decoded: the decoder's news
    // is no longer this file's.
    if (IsFinal(current.state) || (!isCoder && current.state == FileState::Coding))
        return current;
    if (!ended)
        return {isCoder ? FileState::Coding : FileState::Decoding};
    if (const LeftOutCause cause = CauseOf(ended->outcome); cause != LeftOutCause::None)
        return {FileState::LeftOut, cause};
    if (ended->outcome == RunResult::Outcome::Stopped)
        return {FileState::Stopped};
    if (ended->Failed())
        return {FileState::Failed};
    if (!isLast)
        return {FileState::Queued}; // its coder waits for a slot
    return {ended->held ? FileState::Held : FileState::Converted};
}
