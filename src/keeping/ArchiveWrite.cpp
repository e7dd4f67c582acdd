#include "keeping/Archive.h"
#include "keeping/Base64.h"
#include "store/EscapedText.h"
#include "store/Keys.h"
#include "store/Tables.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ostream>

// The writing of the lossless JSON archive: every row, setting and kept version, each value
// with its type. Its reading is in ArchiveRead.cpp.

namespace quillet::archive {

namespace {

void writeString(std::ostream &out, std::string_view text)
{
    out << '"';
    writeEscaped(
        out, text,
        [](char c, std::size_t) {
            return c == '"' || c == '\\' || static_cast<unsigned char>(c) < 0x20;
        },
        [](std::ostream &to, char c) {
            switch (c) {
            case '"':
                to << "\\\"";
                break;
            case '\\':
                to << "\\\\";
                break;
            case '\n':
                to << "\\n";
                break;
            case '\r':
                to << "\\r";
                break;
            case '\t':
                to << "\\t";
                break;
            default: {
                char escaped[8];
                std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned char>(c));
                to << escaped;
            }
            }
        });
    out << '"';
}

// A value as JSON that says its type: integers as integers, reals always with a point or an
// exponent, text as a string (or base64 when it is not UTF-8), blobs in base64.
void writeValue(std::ostream &out, const Value &value)
{
    switch (value.type()) {
    case Value::Type::Null:
        out << "null";
        return;
    case Value::Type::Integer:
        out << *value.integer();
        return;
    case Value::Type::Real: {
        const double number = *value.real();
        if (!std::isfinite(number)) {
            out << R"({"real":")"
                << (std::isnan(number) ? "NaN"
                    : number > 0       ? "Infinity"
                                       : "-Infinity")
                << "\"}";
            return;
        }
        // As printf's "%.17g" would write it in the C locale, whatever the user's: the toolkit
        // sets the user's locale, and a decimal comma would make the copy of a deleted item
        // that the program writes unreadable.
        char text[40];
        const auto written =
            std::to_chars(text, text + sizeof text, number, std::chars_format::general, 17);
        std::string shown(text, written.ptr);
        if (shown.find_first_of(".e") == std::string::npos)
            shown += ".0";
        out << shown;
        return;
    }
    case Value::Type::Text:
        if (keys::isUtf8(*value.textView())) {
            writeString(out, *value.textView());
        } else {
            out << R"({"text-base64":")" << base64::encode(*value.textView()) << "\"}";
        }
        return;
    case Value::Type::Blob:
        out << R"({"blob-base64":")" << base64::encode(*value.textView()) << "\"}";
        return;
    }
}

void writeRow(std::ostream &out, const Row &row)
{
    out << "    {";
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        out << (c ? ", " : "") << '"' << kColumns[c] << "\": ";
        writeValue(out, row[c]);
    }
    out << '}';
}

} // namespace

void write(Connection &db, std::ostream &out, NoteHistory *history)
{
    out << "{\n  \"quillet-export\": 1,\n  \"mynodes\": [";
    bool first = true;
    forEachStoredRow(db, [&](const Row &row) {
        out << (first ? "\n" : ",\n");
        writeRow(out, row);
        first = false;
    });
    out << (first ? "],\n" : "\n  ],\n") << "  \"parame\": [";
    first = true;
    forEachSetting(db, [&](std::int64_t id, const Value &value) {
        out << (first ? "\n" : ",\n") << "    {\"ID\": " << id << ", \"timilo\": ";
        writeValue(out, value);
        out << '}';
        first = false;
    });
    out << (first ? "],\n" : "\n  ],\n") << "  \"lastId\": ";
    if (const std::optional<std::int64_t> last = lastRowId(db))
        out << *last;
    else
        out << "null";
    if (history) {
        out << ",\n  \"history\": [";
        first = true;
        history->forEachVersion([&](const NoteVersion &version) {
            out << (first ? "\n" : ",\n") << "    {\"number\": " << version.number
                << ", \"noteId\": " << *version.row[0].integer()
                << ", \"titleOnly\": " << (version.titleOnly ? "true" : "false")
                << ", \"keptAt\": " << version.keptAt << ", \"row\":\n";
            writeRow(out, version.row);
            out << '}';
            first = false;
        });
        out << (first ? "]" : "\n  ]");
    }
    out << "\n}\n";
}

void writeRows(const std::vector<Row> &rows, std::ostream &out, std::string_view itemPath)
{
    out << "{\n  \"quillet-export\": 1,\n";
    if (!itemPath.empty()) {
        // As any text value: titles that are not UTF-8 keep their bytes in base64.
        out << "  \"path\": ";
        writeValue(out, Value::text(std::string(itemPath)));
        out << ",\n";
    }
    out << "  \"mynodes\": [";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out << (r ? ",\n" : "\n");
        writeRow(out, rows[r]);
    }
    out << (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

} // namespace quillet::archive
