#include "driver_files.h"

#include <windows.h>

namespace {

// The folder named by an environment variable, else the current one.
std::string Folder(const char* variable)
{
    char directory[MAX_PATH] = ".";
    GetEnvironmentVariableA(variable, directory, MAX_PATH);
    return directory;
}

}  // namespace

std::string ShotPath(const std::string& name)
{
    return Folder("VELTRANE_SHOTS") + "\\" + name + ".bmp";
}

std::string SyncPath(const std::string& name)
{
    return Folder("VELTRANE_SYNC") + "\\" + name;
}

std::string BesideDriver(const std::string& fileName)
{
    char path[MAX_PATH] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path);
    folder.resize(folder.find_last_of("\\/") + 1);
    return folder + fileName;
}

bool CreateEmptyFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(file);
    return true;
}

bool FileExists(const std::string& path)
{
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}
