// The storage probe on Linux: the mount table of this process
// (/proc/self/mountinfo) for mount points, devices and filesystems, and
// statvfs for sizes.
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>
#include <sstream>

#include "StorageInfo.h"

namespace StorageProbe {
namespace {

struct Mount {
    unsigned major = 0, minor = 0;
    std::string root;       // the folder of the filesystem mounted here
    std::string mountPoint;
    std::string filesystem;
    std::string source;
};

// mountinfo writes space, tab, newline and backslash as octal escapes.
std::string Unescape(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && text[i + 1] >= '0' && text[i + 1] <= '3') {
            out += static_cast<char>((text[i + 1] - '0') * 64 + (text[i + 2] - '0') * 8 + (text[i + 3] - '0'));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::vector<Mount> ReadMounts()
{
    std::vector<Mount> mounts;
    std::ifstream file("/proc/self/mountinfo");
    for (std::string line; std::getline(file, line);) {
        // id parent major:minor root mount-point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::string id, parent, device, root, point, options, word;
        if (!(fields >> id >> parent >> device >> root >> point >> options))
            continue;
        while (fields >> word && word != "-") {
        }
        Mount mount;
        if (word != "-" || !(fields >> mount.filesystem >> mount.source))
            continue;
        if (std::sscanf(device.c_str(), "%u:%u", &mount.major, &mount.minor) != 2)
            continue;
        mount.root = Unescape(root);
        mount.mountPoint = Unescape(point);
        mount.source = Unescape(mount.source);
        mounts.push_back(mount);
    }
    return mounts;
}

bool Within(const std::string& path, const std::string& folder)
{
    if (folder == "/")
        return !path.empty() && path[0] == '/';
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

void Size(Volume& volume, const std::string& path)
{
    struct statvfs sizes {};
    if (statvfs(path.c_str(), &sizes) != 0)
        return;
    volume.total = static_cast<uint64_t>(sizes.f_blocks) * sizes.f_frsize;
    volume.available = static_cast<uint64_t>(sizes.f_bavail) * sizes.f_frsize;
    volume.sized = true;
}

// The volume holding `folder`: the innermost mount whose mount point contains
// the folder's real path, preferring one of the folder's own device (the
// later of equals, since a later mount hides an earlier one).
Volume VolumeOf(const std::vector<Mount>& mounts, const std::string& folder)
{
    Volume volume;
    volume.path = folder;
    char real[PATH_MAX];
    const std::string path = realpath(folder.c_str(), real) != nullptr ? real : folder;
    struct stat status {};
    const bool haveDevice = stat(path.c_str(), &status) == 0;
    const Mount* best = nullptr;
    for (const Mount& mount : mounts) {
        if (!Within(path, mount.mountPoint))
            continue;
        const bool sameDevice = haveDevice && mount.major == major(status.st_dev) && mount.minor == minor(status.st_dev);
        const bool bestSame = best != nullptr && haveDevice && best->major == major(status.st_dev) &&
                              best->minor == minor(status.st_dev);
        if (best == nullptr || (sameDevice && !bestSame) ||
            (sameDevice == bestSame && mount.mountPoint.size() >= best->mountPoint.size()))
            best = &mount;
    }
    if (best != nullptr) {
        volume.mountPoint = best->mountPoint;
        volume.filesystem = best->filesystem;
        volume.device = best->source;
    }
    Size(volume, path);
    return volume;
}

bool Removable(const Mount& mount)
{
    // A partition's flag lies with its disk, one folder up.
    const std::string block = "/sys/dev/block/" + std::to_string(mount.major) + ":" + std::to_string(mount.minor);
    for (const char* file : {"/removable", "/../removable"}) {
        if (std::FILE* flag = std::fopen((block + file).c_str(), "r")) {
            const int c = std::fgetc(flag);
            std::fclose(flag);
            return c == '1';
        }
    }
    return false;
}

// Filesystems on block devices, without read-only media images, removable
// disks, and second mounts of a filesystem already listed (bind mounts).
std::vector<Volume> FixedVolumes(const std::vector<Mount>& mounts)
{
    static const std::set<std::string> media = {"squashfs", "iso9660", "udf", "erofs"};
    std::vector<Volume> volumes;
    std::set<std::pair<unsigned, unsigned>> seen;
    for (const Mount& mount : mounts) {
        if (mount.source.compare(0, 5, "/dev/") != 0 || media.count(mount.filesystem) != 0 || mount.major == 0)
            continue;
        if (!seen.insert({mount.major, mount.minor}).second || Removable(mount))
            continue;
        Volume volume;
        volume.path = volume.mountPoint = mount.mountPoint;
        volume.filesystem = mount.filesystem;
        volume.device = mount.source;
        Size(volume, mount.mountPoint);
        volumes.push_back(volume);
    }
    return volumes;
}

std::string ProgramFolder()
{
    char path[PATH_MAX];
    const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
    if (length <= 0)
        return "";
    std::string text(path, static_cast<size_t>(length));
    const size_t slash = text.rfind('/');
    return slash == 0 ? "/" : text.substr(0, slash);
}

// The folder temporary files go to, as the C library and
// std::filesystem::temp_directory_path choose it.
std::string TempFolder()
{
    const char* tmpdir = std::getenv("TMPDIR");
    struct stat status {};
    if (tmpdir != nullptr && tmpdir[0] == '/' && stat(tmpdir, &status) == 0 && S_ISDIR(status.st_mode))
        return tmpdir;
    return "/tmp";
}

} // namespace

void Read(Info& info)
{
    const std::vector<Mount> mounts = ReadMounts();
    if (mounts.empty())
        info.missing.push_back("no mount table");
    const std::string program = ProgramFolder();
    if (!program.empty())
        info.program = VolumeOf(mounts, program);
    else
        info.missing.push_back("no program folder");
    info.temp = VolumeOf(mounts, TempFolder());
    info.volumes = FixedVolumes(mounts);
}

} // namespace StorageProbe
