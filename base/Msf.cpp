#include "base/Msf.h"

#include <cstdio>

namespace sv {

std::string FormatMsf(Msf a) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02u:%02u:%02u", unsigned{a.m}, unsigned{a.s}, unsigned{a.f});
    return buf;
}

}  // namespace sv
