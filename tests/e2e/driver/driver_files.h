// Where the driver finds and leaves files: pictures in VELTRANE_SHOTS, signals
// to the suite script in VELTRANE_SYNC, its helpers beside itself.
#pragma once

#include <string>

std::string ShotPath(const std::string& name);
std::string SyncPath(const std::string& name);
std::string BesideDriver(const std::string& fileName);
bool CreateEmptyFile(const std::string& path);
bool FileExists(const std::string& path);
