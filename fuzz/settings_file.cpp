// The settings-file parser: any bytes parse, give back exactly the bytes they came from, and a
// value written reads back, whatever else the file holds.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "settings/Gbk.h"
#include "settings/IniFile.h"

using dsadmin::IniFile;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    IniFile file = IniFile::parse(bytes);
    FUZZ_CHECK(file.bytes() == bytes);

    for (const char* key :
         {"Library", "DataSource", "UserName", "PassWord", "LongTime", "DBName", "DSName"})
        (void)file.value("DataBase", key);
    (void)file.value("Setup", "SupperUser");
    (void)dsadmin::GbkToUtf8(bytes);
    (void)dsadmin::Utf8ToGbk(bytes);

    // The write path as SaveDBSet takes it: the new value reads back, and so does the file.
    file.setValue("DataBase", "PassWord", "p;w\"d");
    file.setValue("Setup", "NewKey", "");
    const std::string written = file.bytes();
    const IniFile reread = IniFile::parse(written);
    FUZZ_CHECK(reread.value("DataBase", "PassWord") == std::string("p;w\"d"));
    FUZZ_CHECK(reread.value("Setup", "NewKey") == std::string());
    FUZZ_CHECK(reread.bytes() == written);
    return 0;
}
