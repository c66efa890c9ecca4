// A stand-in for the MediaInfo library with some entry points left out, built once per
// variant, so tests can see how an incomplete library is treated. Every file reads as a
// 44.1 kHz stereo "Fake" stream.
#include <cstddef>

namespace {
const wchar_t* Answer(const wchar_t* parameter)
{
    const wchar_t* names[] = {L"Format", L"BitRate", L"Channel(s)", L"SamplingRate", L"BitDepth"};
    const wchar_t* values[] = {L"Fake", L"128000", L"2", L"44100", L"16"};
    for (int i = 0; i < 5; ++i) {
        const wchar_t* a = names[i];
        const wchar_t* b = parameter;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b)
            return values[i];
    }
    return L"";
}
int handle = 0;
} // namespace

#define ENTRY(name, body) extern "C" __attribute__((visibility("default"))) body
#ifndef OMIT_NEW
ENTRY(
    New, void* MediaInfo_New() { return &handle; })
#endif
ENTRY(Delete, void MediaInfo_Delete(void*){})
ENTRY(
    Open, size_t MediaInfo_Open(void*, const wchar_t*) { return 1; })
#ifndef OMIT_GET
ENTRY(
    Get, const wchar_t* MediaInfo_Get(void*, int, size_t, const wchar_t* p, int, int) {
        return Answer(p);
    })
#endif
ENTRY(Close, void MediaInfo_Close(void*){})
ENTRY(
    Inform, const wchar_t* MediaInfo_Inform(void*, size_t) { return L""; })
ENTRY(
    GetI, const wchar_t* MediaInfo_GetI(void*, int, size_t, size_t, int) { return L""; })
ENTRY(
    Option, const wchar_t* MediaInfo_Option(void*, const wchar_t*, const wchar_t*) { return L""; })
ENTRY(
    State, size_t MediaInfo_State_Get(void*) { return 0; })
ENTRY(
    Count, size_t MediaInfo_Count_Get(void*, int, size_t) { return 0; })
ENTRY(
    Files, size_t MediaInfo_Count_Get_Files(void*) { return 0; })
ENTRY(
    LNew, void* MediaInfoList_New() { return &handle; })
ENTRY(LDelete, void MediaInfoList_Delete(void*){})
ENTRY(
    LOpen, size_t MediaInfoList_Open(void*, const wchar_t*, int) { return 0; })
ENTRY(LClose, void MediaInfoList_Close(void*, size_t){})
ENTRY(
    LInform, const wchar_t* MediaInfoList_Inform(void*, size_t, size_t) { return L""; })
ENTRY(
    LGetI,
    const wchar_t* MediaInfoList_GetI(void*, size_t, int, size_t, size_t, int) { return L""; })
ENTRY(
    LGet, const wchar_t* MediaInfoList_Get(void*, size_t, int, size_t, const wchar_t*, int, int) {
        return L"";
    })
#ifndef OMIT_LIST_OPTION
ENTRY(
    LOption,
    const wchar_t* MediaInfoList_Option(void*, const wchar_t*, const wchar_t*) { return L""; })
#endif
#ifndef OMIT_LIST_STATE
ENTRY(
    LState, size_t MediaInfoList_State_Get(void*) { return 0; })
#endif
ENTRY(
    LCount, size_t MediaInfoList_Count_Get(void*, size_t, int, size_t) { return 0; })
ENTRY(
    LFiles, size_t MediaInfoList_Count_Get_Files(void*) { return 0; })
