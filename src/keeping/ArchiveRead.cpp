#include "keeping/Archive.h"
#include "keeping/Base64.h"
#include "store/Keys.h"
#include "text/JsonReader.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <istream>

// The reading of the lossless JSON archive: a stream, a value at a time, every problem said with
// where it is. Its writing is in ArchiveWrite.cpp.

namespace quillet::archive {

namespace {

// Reads one value in the form writeValue gives it; returns what is wrong with it, if anything,
// beginning with where() (the value is then read over).
template <class Where>
std::optional<std::string> readValue(json::Reader &reader, Value &value, std::string &text,
                                     std::string &key, Where &&where)
{
    switch (reader.peek()) {
    case json::Kind::Null:
        reader.readNull();
        value.setNull();
        return std::nullopt;
    case json::Kind::Number: {
        const json::Number number = reader.readNumber();
        if (number.type == json::Number::Type::Unsigned)
            return where() + " is a number too large to store";
        if (number.type == json::Number::Type::Integer)
            value.setInteger(number.integer);
        else
            value.setReal(number.real);
        return std::nullopt;
    }
    case json::Kind::String:
        reader.readString(text);
        value.setText(text);
        return std::nullopt;
    case json::Kind::Object:
        break;
    case json::Kind::Array:
    case json::Kind::Boolean:
        reader.skip();
        return where() + " is not a value the file can hold";
    }
    // {"kind": "text"}: one member, whose value is a string. A member named twice counts once,
    // with its last value.
    reader.beginObject();
    std::string kind;
    bool members = false;
    bool oneName = true;
    bool isString = false;
    while (reader.nextMember(key)) {
        if (!members)
            kind = key;
        members = true;
        if (key != kind) {
            oneName = false;
            reader.skip();
        } else if (reader.peek() == json::Kind::String) {
            reader.readString(text);
            isString = true;
        } else {
            reader.skip();
            isString = false;
        }
    }
    if (!members || !oneName || !isString)
        return where() + " is not a value the file can hold";
    if (kind == "real") {
        value.setReal(text == "NaN" ? NAN : text == "-Infinity" ? -INFINITY : INFINITY);
        return std::nullopt;
    }
    if (kind != "text-base64" && kind != "blob-base64")
        return where() + " is a value of an unknown kind, \"" + kind + "\"";
    char bad = 0;
    const std::optional<std::string> bytes = base64::decode(text, bad);
    if (!bytes)
        return "a value in base64 holds \"" + std::string(1, bad) + "\"";
    value.setText(*bytes, kind == "blob-base64" ? Value::Type::Blob : Value::Type::Text);
    return std::nullopt;
}

// The strings a reading reuses from value to value, so that a row costs no allocations once
// the first rows have sized them.
struct Scratch
{
    std::string key;
    std::string inner;
    std::string text;
};

// One row of "mynodes"; returns what is wrong with it, if anything. Every column must be there,
// and is checked in the order of kColumns, whatever the order in the file.
std::optional<std::string> readRow(json::Reader &reader, Row &row, std::size_t number,
                                   Scratch &scratch)
{
    const auto where = [&] {
        return "row " + std::to_string(number) + " of \"mynodes\"";
    };
    if (reader.peek() != json::Kind::Object) {
        reader.skip();
        return where() + " is not an object";
    }
    std::array<bool, kColumns.size()> present{};
    std::array<std::optional<std::string>, kColumns.size()> problems;
    reader.beginObject();
    while (reader.nextMember(scratch.key)) {
        std::size_t c = 0;
        while (c < kColumns.size() && scratch.key != kColumns[c])
            ++c;
        if (c == kColumns.size()) {
            reader.skip();
            continue;
        }
        present[c] = true;
        problems[c] = readValue(reader, row[c], scratch.text, scratch.inner,
                                [&] { return where() + ", \"" + kColumns[c] + "\","; });
    }
    for (std::size_t c = 0; c < kColumns.size(); ++c) {
        if (!present[c])
            return where() + " has no \"" + kColumns[c] + "\"";
        if (problems[c])
            return problems[c];
    }
    if (!row[0].integer())
        return where() + " has an ID that is not a whole number";
    return std::nullopt;
}

// One version of "history": its number, note, kind and time, and the row as kept.
std::optional<std::string> readVersion(json::Reader &reader, NoteVersion &version,
                                       std::size_t number, Scratch &scratch)
{
    const auto where = [&] {
        return "version " + std::to_string(number) + " of \"history\"";
    };
    if (reader.peek() != json::Kind::Object) {
        reader.skip();
        return where() + " is not an object";
    }
    version.titleOnly = false;
    bool hasNumber = false;
    bool hasTime = false;
    bool hasRow = false;
    std::optional<std::string> problem;
    reader.beginObject();
    while (reader.nextMember(scratch.key)) {
        if ((scratch.key == "number" || scratch.key == "keptAt") &&
            reader.peek() == json::Kind::Number) {
            const json::Number read = reader.readNumber();
            const bool whole = read.type == json::Number::Type::Integer;
            (scratch.key == "number" ? version.number : version.keptAt) = read.integer;
            (scratch.key == "number" ? hasNumber : hasTime) = whole;
        } else if (scratch.key == "titleOnly" && reader.peek() == json::Kind::Boolean) {
            version.titleOnly = reader.readBoolean();
        } else if (scratch.key == "row") {
            hasRow = true;
            problem = readRow(reader, version.row, number, scratch);
            if (problem)
                problem = where() + ": " + *problem;
        } else {
            reader.skip();
        }
    }
    if (!hasNumber || !hasTime || !hasRow)
        return where() + " lacks its number, its time or its row";
    return problem;
}

// One row of "parame": a whole-number ID and a timilo.
std::optional<std::string> readSetting(json::Reader &reader, std::int64_t &id, Value &value,
                                       std::size_t number, Scratch &scratch)
{
    const auto where = [&] {
        return "row " + std::to_string(number) + " of \"parame\"";
    };
    if (reader.peek() != json::Kind::Object) {
        reader.skip();
        return where() + " is not an ID with a timilo";
    }
    bool hasId = false;
    bool hasValue = false;
    std::optional<std::string> problem;
    reader.beginObject();
    while (reader.nextMember(scratch.key)) {
        if (scratch.key == "ID" && reader.peek() == json::Kind::Number) {
            const json::Number read = reader.readNumber();
            hasId = read.type == json::Number::Type::Integer;
            id = read.integer;
        } else if (scratch.key == "ID") {
            reader.skip();
            hasId = false;
        } else if (scratch.key == "timilo") {
            hasValue = true;
            problem = readValue(reader, value, scratch.text, scratch.inner, where);
        } else {
            reader.skip();
        }
    }
    if (!hasId || !hasValue)
        return where() + " is not an ID with a timilo";
    return problem;
}

} // namespace

std::optional<std::int64_t> read(std::istream &in, const Receiver &receiver)
{
    try {
        json::Reader reader(in);
        bool isArchive = false;
        bool rowsSeen = false;
        bool settingsSeen = false;
        std::optional<std::string> rowsProblem;
        std::optional<std::string> settingsProblem;
        std::optional<std::int64_t> lastId;
        Scratch scratch;
        std::string name;
        Row row;
        Value value;
        const auto sound = [&] {
            return !rowsProblem && !settingsProblem;
        };
        if (reader.peek() == json::Kind::Object) {
            reader.beginObject();
            while (reader.nextMember(name)) {
                if (name == "quillet-export" && reader.peek() == json::Kind::Number) {
                    const json::Number number = reader.readNumber();
                    isArchive =
                        number.type == json::Number::Type::Real
                            ? number.real == 1.0
                            : number.type == json::Number::Type::Integer && number.integer == 1;
                } else if (name == "quillet-export") {
                    reader.skip();
                    isArchive = false;
                } else if (name == "mynodes" && rowsSeen) {
                    // The rows of the first list are handed on already.
                    reader.skip();
                    rowsProblem = rowsProblem.value_or("\"mynodes\" is there twice");
                } else if (name == "mynodes") {
                    rowsSeen = true;
                    if (reader.peek() != json::Kind::Array) {
                        reader.skip();
                        rowsProblem = "\"mynodes\" is not a list of rows";
                        continue;
                    }
                    reader.beginArray();
                    for (std::size_t number = 1; reader.nextElement(); ++number) {
                        if (rowsProblem) {
                            reader.skip();
                            continue;
                        }
                        rowsProblem = readRow(reader, row, number, scratch);
                        if (sound())
                            receiver.row(row);
                    }
                } else if (name == "parame" && settingsSeen) {
                    reader.skip();
                    settingsProblem = settingsProblem.value_or("\"parame\" is there twice");
                } else if (name == "parame") {
                    settingsSeen = true;
                    if (reader.peek() != json::Kind::Array) {
                        reader.skip();
                        settingsProblem = "\"parame\" is not a list of settings";
                        continue;
                    }
                    reader.beginArray();
                    for (std::size_t number = 1; reader.nextElement(); ++number) {
                        if (settingsProblem) {
                            reader.skip();
                            continue;
                        }
                        std::int64_t id = 0;
                        settingsProblem = readSetting(reader, id, value, number, scratch);
                        if (sound())
                            receiver.setting(id, value);
                    }
                } else if (name == "history" && receiver.version &&
                           reader.peek() == json::Kind::Array) {
                    reader.beginArray();
                    NoteVersion version;
                    for (std::size_t number = 1; reader.nextElement(); ++number) {
                        if (rowsProblem) {
                            reader.skip();
                            continue;
                        }
                        rowsProblem = readVersion(reader, version, number, scratch);
                        if (sound())
                            receiver.version(version);
                    }
                } else if (name == "path" && receiver.path) {
                    // Only what the list of deleted items shows: a path it cannot read is
                    // left out, and the copy is read as one made before copies kept it.
                    if (!readValue(reader, value, scratch.text, scratch.inner,
                                   [] { return std::string(); }) &&
                        value.type() == Value::Type::Text)
                        receiver.path(std::string(*value.textView()));
                } else if (name == "lastId" && reader.peek() == json::Kind::Number) {
                    const json::Number number = reader.readNumber();
                    lastId = number.type == json::Number::Type::Integer
                                 ? std::optional<std::int64_t>(number.integer)
                                 : std::nullopt;
                } else {
                    if (name == "lastId")
                        lastId.reset();
                    reader.skip();
                }
            }
        } else {
            reader.skip();
        }
        reader.finish();
        if (!isArchive)
            throw FormatError("it is not a Quillet export (no \"quillet-export\": 1)");
        if (rowsProblem)
            throw FormatError(*rowsProblem);
        if (settingsProblem)
            throw FormatError(*settingsProblem);
        return lastId;
    } catch (const json::SyntaxError &error) {
        throw FormatError(std::string("it is not JSON: ") + error.what());
    }
}

Contents read(std::istream &in)
{
    Contents contents;
    contents.lastId = read(in, {[&](const Row &row) { contents.rows.push_back(row); },
                                [&](std::int64_t id, const Value &value) {
                                    contents.settings.emplace_back(id, value);
                                },
                                {},
                                [&](const std::string &path) {
                                    contents.path = path;
                                }});
    return contents;
}

} // namespace quillet::archive
