// Reads a DXF file with ezdxf (Debian's python3-ezdxf, a reader we did not
// write) through tests/dxf/read_dxf.py and gives back what it found.
#pragma once

#include <sys/wait.h>

#include <nlohmann/json.hpp>

#include <cstdio>
#include <string>

namespace dxfread {

struct Result {
    bool ran = false;  // the script ran and printed JSON
    int status = -1;
    std::string error;  // standard error of the script, when it failed
    nlohmann::json doc;
};

inline Result Read(const std::string& dxfPath)
{
    Result r;
    const std::string errPath = dxfPath + ".err";
    const std::string cmd = "/usr/bin/python3 " + std::string(Q6_SOURCE_DIR) + "/tests/dxf/read_dxf.py '" + dxfPath +
                            "' 2>'" + errPath + "'";
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p) return r;
    std::string out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = ::pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    if (FILE* e = std::fopen(errPath.c_str(), "rb")) {
        while ((n = std::fread(buf, 1, sizeof buf, e)) > 0) r.error.append(buf, n);
        std::fclose(e);
        std::remove(errPath.c_str());
    }
    if (r.status == 0) {
        r.doc = nlohmann::json::parse(out, nullptr, false);
        r.ran = !r.doc.is_discarded();
    }
    return r;
}

// The two coordinates as doubles, for exact comparison.
inline std::pair<double, double> XY(const nlohmann::json& a) { return {a.at(0).get<double>(), a.at(1).get<double>()}; }

}  // namespace dxfread
