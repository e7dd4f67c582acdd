#include "store/Archive.h"

#include "store/EscapedText.h"
#include "store/Keys.h"
#include "store/Sqlite.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <istream>
#include <nlohmann/json.hpp>
#include <ostream>
#include <stdexcept>

namespace quillet::archive {

namespace {

constexpr char kBase64[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

std::string toBase64(std::string_view bytes)
{
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : bytes) {
        bits = (bits << 8) | static_cast<unsigned char>(c);
        count += 8;
        while (count >= 6) {
            count -= 6;
            out += kBase64[(bits >> count) & 0x3F];
        }
    }
    if (count > 0)
        out += kBase64[(bits << (6 - count)) & 0x3F];
    while (out.size() % 4)
        out += '=';
    return out;
}

std::string fromBase64(const std::string &text)
{
    std::string out;
    std::uint32_t bits = 0;
    int count = 0;
    for (const char c : text) {
        if (c == '=')
            break;
        const char *at = std::strchr(kBase64, c);
        if (!at || c == '\0')
            throw std::runtime_error("a value in base64 holds \"" + std::string(1, c) + "\"");
        bits = (bits << 6) | static_cast<std::uint32_t>(at - kBase64);
        count += 6;
        if (count >= 8) {
            count -= 8;
            out += static_cast<char>((bits >> count) & 0xFF);
        }
    }
    return out;
}

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
        if (keys::length(*value.textView()) >= 0) {
            writeString(out, *value.textView());
        } else {
            out << R"({"text-base64":")" << toBase64(*value.textView()) << "\"}";
        }
        return;
    case Value::Type::Blob:
        out << R"({"blob-base64":")" << toBase64(*value.textView()) << "\"}";
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

Value valueOf(const nlohmann::json &json, const std::string &where)
{
    Value value;
    if (json.is_null()) {
        value.setNull();
    } else if (json.is_number_integer()) {
        if (json.is_number_unsigned() && json.get<std::uint64_t>() > INT64_MAX)
            throw std::runtime_error(where + " is a number too large to store");
        value.setInteger(json.get<std::int64_t>());
    } else if (json.is_number_float()) {
        value.setReal(json.get<double>());
    } else if (json.is_string()) {
        value.setText(json.get<std::string>());
    } else if (json.is_object() && json.size() == 1 && json.begin().value().is_string()) {
        const std::string kind = json.begin().key();
        const std::string text = json.begin().value().get<std::string>();
        if (kind == "text-base64")
            value.setText(fromBase64(text));
        else if (kind == "blob-base64")
            value.setText(fromBase64(text), Value::Type::Blob);
        else if (kind == "real")
            value.setReal(text == "NaN" ? NAN : text == "-Infinity" ? -INFINITY : INFINITY);
        else
            throw std::runtime_error(where + " is a value of an unknown kind, \"" + kind + "\"");
    } else {
        throw std::runtime_error(where + " is not a value the file can hold");
    }
    return value;
}

} // namespace

std::string selectColumns()
{
    std::string sql = "SELECT ";
    for (std::size_t c = 0; c < kColumns.size(); ++c)
        sql += std::string(c ? ", " : "") + kColumns[c];
    return sql;
}

void write(Connection &db, std::ostream &out)
{
    out << "{\n  \"quillet-export\": 1,\n  \"mynodes\": [";
    Statement rows(db, selectColumns() + " FROM mynodes ORDER BY ID");
    Row row;
    bool first = true;
    while (rows.step()) {
        for (std::size_t c = 0; c < kColumns.size(); ++c)
            rows.column(static_cast<int>(c), row[c]);
        out << (first ? "\n" : ",\n");
        writeRow(out, row);
        first = false;
    }
    out << (first ? "],\n" : "\n  ],\n") << "  \"parame\": [";
    Statement settings(db, "SELECT ID, timilo FROM parame ORDER BY ID");
    first = true;
    Value value;
    while (settings.step()) {
        settings.column(1, value);
        out << (first ? "\n" : ",\n") << "    {\"ID\": " << settings.columnInt64(0)
            << ", \"timilo\": ";
        writeValue(out, value);
        out << '}';
        first = false;
    }
    out << (first ? "],\n" : "\n  ],\n") << "  \"lastId\": ";
    Statement sequence(db, "SELECT seq FROM sqlite_sequence WHERE name = 'mynodes'");
    if (sequence.step())
        out << sequence.columnInt64(0);
    else
        out << "null";
    out << "\n}\n";
}

void writeRows(const std::vector<Row> &rows, std::ostream &out)
{
    out << "{\n  \"quillet-export\": 1,\n  \"mynodes\": [";
    for (std::size_t r = 0; r < rows.size(); ++r) {
        out << (r ? ",\n" : "\n");
        writeRow(out, rows[r]);
    }
    out << (rows.empty() ? "]\n}\n" : "\n  ]\n}\n");
}

void insertRows(Connection &db, const std::vector<Row> &rows)
{
    std::string sql = "INSERT INTO mynodes (";
    std::string marks;
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        sql += std::string(c ? ", " : "") + kColumns[c];
        marks += c ? ", ?" : "?";
    }
    Statement insert(db, sql + ") VALUES (" + marks + ")");
    for (const Row &row : rows) {
        insert.reset();
        for (std::size_t c = 0; c < row.size(); ++c)
            insert.bind(static_cast<int>(c + 1), row[c]);
        insert.run();
    }
}

Contents read(std::istream &in)
{
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(in);
    } catch (const nlohmann::json::exception &error) {
        throw std::runtime_error(std::string("it is not JSON: ") + error.what());
    }
    if (!json.is_object() || !json.contains("quillet-export") || json["quillet-export"] != 1)
        throw std::runtime_error("it is not a Quillet export (no \"quillet-export\": 1)");
    Contents contents;
    const nlohmann::json &rows = json.value("mynodes", nlohmann::json::array());
    if (!rows.is_array())
        throw std::runtime_error("\"mynodes\" is not a list of rows");
    for (std::size_t r = 0; r < rows.size(); ++r) {
        const std::string where = "row " + std::to_string(r + 1) + " of \"mynodes\"";
        if (!rows[r].is_object())
            throw std::runtime_error(where + " is not an object");
        Row row;
        for (std::size_t c = 0; c < kColumns.size(); ++c) {
            if (!rows[r].contains(kColumns[c]))
                throw std::runtime_error(where + " has no \"" + kColumns[c] + "\"");
            row[c] = valueOf(rows[r][kColumns[c]], where + ", \"" + kColumns[c] + "\",");
        }
        if (!row[0].integer())
            throw std::runtime_error(where + " has an ID that is not a whole number");
        contents.rows.push_back(std::move(row));
    }
    const nlohmann::json &settings = json.value("parame", nlohmann::json::array());
    for (std::size_t s = 0; s < settings.size(); ++s) {
        const std::string where = "row " + std::to_string(s + 1) + " of \"parame\"";
        if (!settings[s].is_object() || !settings[s].contains("ID") ||
            !settings[s]["ID"].is_number_integer() || !settings[s].contains("timilo"))
            throw std::runtime_error(where + " is not an ID with a timilo");
        contents.settings.emplace_back(settings[s]["ID"].get<std::int64_t>(),
                                       valueOf(settings[s]["timilo"], where));
    }
    if (json.contains("lastId") && json["lastId"].is_number_integer())
        contents.lastId = json["lastId"].get<std::int64_t>();
    return contents;
}

} // namespace quillet::archive
