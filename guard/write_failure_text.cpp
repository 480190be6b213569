#include "guard/write_failure_text.h"

#include <cerrno>
#include <cstring>

namespace {

std::string Reason(int error)
{
    switch (error) {
    case ENOSPC:
    case EDQUOT:
        return "the disk that holds the image is full";
    case EIO:
        return "I/O error on the card";
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
        return "the card was removed, or shrank";
    case EBUSY:
    case ETXTBSY:
        return "another program holds the card";
    default:
        return std::strerror(error);
    }
}

}  // namespace

std::string WriteFailureText(int error, std::optional<std::uint64_t> sector)
{
    return Reason(error) + (sector ? " (at sector " + std::to_string(*sector) + ")" : std::string());
}
