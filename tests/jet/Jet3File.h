#pragma once
// A small Jet 3 (Access 97) file made from the format's facts (docs/dsfile.md lists the
// sources): one user table of text columns, for the reader's Jet 3 paths. Jet 3 keeps text
// in the file's code page, one byte a character; the cells given here are Latin-1 bytes.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace dsadmin::test {

struct Jet3Text {
    std::string name;
    int length;  // characters (= bytes in Jet 3)
};

class Jet3File {
  public:
    static constexpr std::size_t kPage = 2048;

    // Pages: 0 header, 1 empty, 2 MSysObjects definition, 3 its rows, 4 the table's
    // definition, 5 its rows, 6 the usage maps.
    static std::string make(const std::string& table, const std::vector<Jet3Text>& columns,
                            const std::vector<std::vector<std::string>>& rows) {
        std::string f(7 * kPage, '\0');
        header(f);
        page(f, 1)[0] = 1;
        // MSysObjects with the columns libmdb reads: Id, Name, Type, Flags, LvProp.
        definition(
            f, 2, 0x53,
            {{"Id", 4, 4}, {"Name", 10, 255}, {"Type", 3, 2}, {"Flags", 4, 4}, {"LvProp", 11, 0}},
            2, 0x600);
        auto catalogRow = [](std::int32_t id, const std::string& name, std::int32_t flags) {
            std::string fixed = le(id, 4) + le(1, 2) + le(flags, 4);
            return row(5, fixed, {name}, 0x0F);  // Id, Type, Flags, Name present; LvProp NULL
        };
        dataPage(f, 3, 2, {catalogRow(2, "MSysObjects", INT32_MIN), catalogRow(4, table, 0)});
        std::vector<Column> cols;
        for (const auto& c : columns) cols.push_back({c.name, 10, c.length});
        definition(f, 4, 0x4E, cols, static_cast<std::uint32_t>(rows.size()), 0x602);
        std::vector<std::string> encoded;
        for (const auto& r : rows) encoded.push_back(row(static_cast<int>(r.size()), "", r, 0xFF));
        dataPage(f, 5, 4, encoded);
        std::string map3 = std::string(1, '\0') + le(0, 4) + std::string(1, 0x08);  // page 3
        std::string map5 = std::string(1, '\0') + le(0, 4) + std::string(1, 0x20);  // page 5
        dataPage(f, 6, 0, {map3, map3, map5, map5});
        return f;
    }

  private:
    struct Column {
        std::string name;
        int type;
        int size;
    };

    static char* page(std::string& f, std::size_t n) { return &f[n * kPage]; }
    static std::string le(std::int64_t v, int bytes) {
        std::string s;
        for (int i = 0; i < bytes; ++i) s += static_cast<char>(v >> (8 * i) & 0xFF);
        return s;
    }
    static void put(std::string& f, std::size_t at, const std::string& bytes) {
        f.replace(at, bytes.size(), bytes);
    }

    // Page 0: version 0 (Jet 3); the 126-byte region at 0x18 hidden by the RC4 key stream of
    // C7 DA 39 6B, holding code page 1252 and database key 0.
    static void header(std::string& f) {
        put(f, 0, std::string("\0\1\0\0Standard Jet DB\0", 20));
        put(f, 0x3C, le(1252, 2));
        unsigned char s[256];
        for (int i = 0; i < 256; ++i) s[i] = static_cast<unsigned char>(i);
        const unsigned char key[4] = {0xC7, 0xDA, 0x39, 0x6B};
        for (int i = 0, j = 0; i < 256; ++i) {
            j = (j + s[i] + key[i % 4]) & 0xFF;
            std::swap(s[i], s[j]);
        }
        for (int k = 0, i = 0, j = 0; k < 126; ++k) {
            i = (i + 1) & 0xFF;
            j = (j + s[i]) & 0xFF;
            std::swap(s[i], s[j]);
            f[0x18 + k] = static_cast<char>(f[0x18 + k] ^ s[(s[i] + s[j]) & 0xFF]);
        }
    }

    // A definition page: 43-byte header, 18-byte column descriptors, names with a 1-byte
    // length. Fixed columns first in the row; variable ones (Text, OLE) after them.
    static void definition(std::string& f, std::size_t n, int type, const std::vector<Column>& cols,
                           std::uint32_t rows, std::uint32_t map) {
        char* p = page(f, n);
        p[0] = 2, p[1] = 1;
        int vars = 0, fixedAt = 0;
        std::string names;
        for (std::size_t i = 0; i < cols.size(); ++i) {
            const Column& c = cols[i];
            const bool fixed = c.type != 10 && c.type != 11;
            std::string d(18, '\0');
            d[0] = static_cast<char>(c.type);
            d[1] = static_cast<char>(i);
            d.replace(3, 2, le(fixed ? 0 : vars, 2));
            d.replace(5, 2, le(static_cast<int>(i), 2));
            d[13] = static_cast<char>(fixed ? 0x03 : 0x02);
            d.replace(14, 2, le(fixed ? fixedAt : 0, 2));
            d.replace(16, 2, le(c.size, 2));
            fixed ? fixedAt += c.size : ++vars;
            put(f, n * kPage + 43 + 18 * i, d);
            names += static_cast<char>(c.name.size()) + c.name;
        }
        put(f, n * kPage + 43 + 18 * cols.size(), names);
        put(f, n * kPage + 8,
            le(static_cast<std::int64_t>(43 + 18 * cols.size() + names.size()), 4));
        put(f, n * kPage + 12, le(rows, 4));
        p[20] = static_cast<char>(type);
        put(f, n * kPage + 21, le(static_cast<int>(cols.size()), 2));
        put(f, n * kPage + 23, le(vars, 2));
        put(f, n * kPage + 25, le(static_cast<int>(cols.size()), 2));
        put(f, n * kPage + 35, le(map, 4));
        put(f, n * kPage + 39, le(map + 1, 4));
    }

    // A row shorter than 256 bytes: u8 column count, fixed area, variable values, then u8
    // end of data, u8 offsets last first, u8 variable count, the null mask.
    static std::string row(int count, const std::string& fixed,
                           const std::vector<std::string>& vars, unsigned mask) {
        std::string r = static_cast<char>(count) + fixed;
        std::vector<int> offsets;
        for (const auto& v : vars) offsets.push_back(static_cast<int>(r.size())), r += v;
        r += static_cast<char>(r.size());
        for (auto it = offsets.rbegin(); it != offsets.rend(); ++it) r += static_cast<char>(*it);
        r += static_cast<char>(vars.size());
        for (int k = 0; k < (count + 7) / 8; ++k) r += static_cast<char>(mask >> (8 * k) & 0xFF);
        return r;
    }

    // A data page: owner, row count at 8, row offsets from 10, rows packed from the end.
    static void dataPage(std::string& f, std::size_t n, std::uint32_t owner,
                         const std::vector<std::string>& rows) {
        char* p = page(f, n);
        p[0] = 1, p[1] = 1;
        put(f, n * kPage + 4, le(owner, 4));
        put(f, n * kPage + 8, le(static_cast<int>(rows.size()), 2));
        std::size_t end = kPage;
        for (std::size_t i = 0; i < rows.size(); ++i) {
            end -= rows[i].size();
            put(f, n * kPage + end, rows[i]);
            put(f, n * kPage + 10 + 2 * i, le(static_cast<std::int64_t>(end), 2));
        }
        put(f, n * kPage + 2, le(static_cast<std::int64_t>(end - 10 - 2 * rows.size()), 2));
    }
};

}  // namespace dsadmin::test
