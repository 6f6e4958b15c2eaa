#pragma once

// system.dat files built by hand for the settings tests.

#include <string>
#include <vector>

namespace tarvenix {

// Bytes of system.dat built by hand, record by record (values given as code
// page 932 bytes).
inline std::string hand_made_file(const std::vector<std::string>& records) {
    std::string file;
    for (const auto& r : records) {
        std::string rec = r;
        rec.resize(160, ' ');
        file += rec;
    }
    return file;
}

inline std::vector<std::string> full_records() {
    std::vector<std::string> r(47, "");
    r[0] = "1";  // copy_mode
    r[1] = "1";  // start_at_launch
    r[2] = "1";  // backup_at_close
    r[3] = "1";  // start_at_time
    r[4] = "1";  // skip_open_files
    r[5] = "0";  // record_history
    r[6] = "True";
    r[7] = "False";
    r[8] = "-1";
    r[9] = "7";
    r[10] = "23";
    r[12] = "05";
    r[13] = "30";
    r[15] = "/home/\x91\xBE\x98\x59/\x83\x66\x81\x5B\x83\x5E";  // /home/太郎/データ
    r[23] = "/backup/\x83\x66\x81\x5B\x83\x5E";
    r[24] = "  /leading/kept   ";
    r[31] = "1";
    r[32] = "0";
    for (int k = 0; k < 8; ++k) {
        r[static_cast<std::size_t>(39 + k)] = "0";
    }
    r[41] = "1";
    return r;
}

}  // namespace tarvenix
