// The ini reader behind the settings and the language files: any bytes parse without a crash or
// a hang, every value reads without one, and the written text is stable after one round trip.
#include "IniFile.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMemIniFile ini;
    ini.Parse(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const std::string& section : ini.ReadSections()) {
        ini.ReadString(section, "Unit", "");
        ini.ReadInteger(section, "MaxCurveSeg", 200);
        ini.ReadFloat(section, "ChainTol", 0.0025);
        ini.ReadBool(section, "SGrid", true);
    }
    const std::string once = ini.ToString();
    TMemIniFile again;
    again.Parse(once);
    if (again.ToString() != once)
        std::abort();
    ini.WriteFloat("Default", "ChainTol", 0.5);
    ini.WriteString("MRURF", "File0", " \"padded\" ");
    TMemIniFile written;
    written.Parse(ini.ToString());
    if (written.ReadString("MRURF", "File0", "") != " \"padded\" " || written.ReadFloat("Default", "ChainTol", 0) != 0.5)
        std::abort();
    return 0;
}
