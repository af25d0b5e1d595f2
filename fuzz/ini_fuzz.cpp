// The INI reader on arbitrary bytes: never crashes, gives back every byte it was given, and
// a written value reads back after the document is parsed again.
#include "platform/ini.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    stikko::IniFile ini = stikko::IniFile::fromBytes(bytes);
    if (ini.toBytes() != bytes)
        std::abort();
    (void)ini.readInteger("VALUE_SECTION", "scr_x", 0);
    (void)ini.readString("value_section", "TITLE", "fallback");

    ini.writeString("VALUE_SECTION", "title", "x\ny");
    ini.writeInteger("VALUE_ALRAM_SECTION", "alram_h", -12);
    const stikko::IniFile again = stikko::IniFile::fromBytes(ini.toBytes());
    if (again.readString("VALUE_SECTION", "title") != "x y" ||
        again.readInteger("VALUE_ALRAM_SECTION", "alram_h", 0) != -12)
        std::abort();
    return 0;
}
