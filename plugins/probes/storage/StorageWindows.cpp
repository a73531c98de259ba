// The storage probe on Windows: GetModuleFileNameA and GetTempPathA for the
// two folders, GetVolumePathNameA for their volume, GetVolumeInformationA
// for its filesystem, GetDiskFreeSpaceExA for sizes, and
// GetLogicalDriveStringsA with GetDriveTypeA for the fixed drives.
#define NOMINMAX
#include <windows.h>

#include "StorageInfo.h"

namespace StorageProbe {
namespace {

Volume VolumeOf(const std::string& folder)
{
    Volume volume;
    volume.path = folder;
    char root[MAX_PATH + 1] = "";
    if (GetVolumePathNameA(folder.c_str(), root, sizeof root))
        volume.mountPoint = root;
    char filesystem[MAX_PATH + 1] = "";
    if (!volume.mountPoint.empty() &&
        GetVolumeInformationA(volume.mountPoint.c_str(), nullptr, 0, nullptr, nullptr, nullptr, filesystem,
                              sizeof filesystem))
        volume.filesystem = filesystem;
    ULARGE_INTEGER available {}, total {}, free {};
    if (GetDiskFreeSpaceExA(folder.c_str(), &available, &total, &free)) {
        volume.total = total.QuadPart;
        volume.available = available.QuadPart;
        volume.sized = true;
    }
    return volume;
}

std::string ProgramFolder()
{
    char path[MAX_PATH + 1] = "";
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
    if (length == 0 || length >= sizeof path)
        return "";
    std::string text(path, length);
    const size_t slash = text.find_last_of("\\/");
    return slash == std::string::npos ? "" : text.substr(0, slash + 1);
}

} // namespace

void Read(Info& info)
{
    // No "insert a disk" dialogs for empty drives.
    const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const std::string program = ProgramFolder();
    if (!program.empty())
        info.program = VolumeOf(program);
    else
        info.missing.push_back("no program folder");
    char temp[MAX_PATH + 1] = "";
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length != 0 && length < sizeof temp)
        info.temp = VolumeOf(temp);
    else
        info.missing.push_back("no temporary folder");

    char drives[512] = "";
    const DWORD size = GetLogicalDriveStringsA(sizeof drives - 1, drives);
    if (size == 0 || size >= sizeof drives)
        info.missing.push_back("no drive list");
    for (const char* drive = drives; size != 0 && size < sizeof drives && *drive != '\0';
         drive += std::string(drive).size() + 1) {
        if (GetDriveTypeA(drive) == DRIVE_FIXED)
            info.volumes.push_back(VolumeOf(drive));
    }
    SetErrorMode(oldMode);
}

} // namespace StorageProbe
