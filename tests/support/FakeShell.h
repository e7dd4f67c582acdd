#pragma once

#include "platform/Shell.h"

#include <optional>
#include <string>
#include <vector>

namespace quillet::test {

// A shell that does nothing real: it records each call as one line of text and answers from
// a script, so that no test shuts down, restarts, runs or formats anything.
class FakeShell : public Shell
{
public:
    void shutDown(std::int32_t owner) override { said("shutDown", owner); }
    void restart(std::int32_t owner, const QString &prompt, std::uint32_t kind) override
    {
        said("restart", owner, prompt, kind);
    }
    void run(const RunRequest &r) override
    {
        said("run", r.owner, r.icon, r.title, r.prompt, r.options);
    }
    std::int32_t format(std::int32_t owner, std::int32_t drive, std::int32_t capacity,
                        std::int32_t formatType) override
    {
        said("format", owner, drive, capacity, formatType);
        return -3;
    }
    std::optional<IconPick> pickIcon(const IconPick &start) override
    {
        pickedFrom = start;
        said("pickIcon", start.index);
        return pickAnswer;
    }
    ExtractedIcons extractIcon(const QString &path, std::int32_t index) override
    {
        said("extractIcon", path, index);
        return extracted;
    }
    std::int32_t copyIcon(std::int32_t icon) override
    {
        said("copyIcon", icon);
        return 1000 + icon;
    }
    void destroyIcon(std::int32_t icon) override { said("destroyIcon", icon); }
    std::optional<QString> chooseFolder(const FolderRequest &r) override
    {
        said("chooseFolder", r.owner, r.root, r.title, r.options);
        return folderAnswer;
    }
    void objectProperties(std::int32_t owner, std::int32_t kind, const QString &name,
                          const QString &tab) override
    {
        said("objectProperties", owner, kind, name, tab);
    }
    void settingsPanel(std::int32_t kind, const QString &commandLine) override
    {
        said("settingsPanel", kind, commandLine);
    }
    void about(std::int32_t owner, const QString &appName, const QString &extra,
               std::int32_t icon) override
    {
        said("about", owner, appName, extra, icon);
    }
    void findFiles() override { said("findFiles"); }
    std::int32_t help(std::int32_t owner, const QString &file, std::int32_t command,
                      std::int32_t data) override
    {
        said("help", owner, file, command, data);
        return 1;
    }

    // Each call: its name and arguments, "|" between them; NULs show as "\0".
    std::vector<std::string> calls;
    std::optional<IconPick> pickAnswer;
    IconPick pickedFrom;
    ExtractedIcons extracted{1, 11, 12};
    std::optional<QString> folderAnswer;

private:
    static std::string text(const QString &value)
    {
        return QString(value).replace(QChar(u'\0'), QStringLiteral("\\0")).toStdString();
    }
    static std::string text(long long value) { return std::to_string(value); }

    template <class... Args>
    void said(const char *name, const Args &...args)
    {
        std::string line = name;
        ((line += "|" + text(args)), ...);
        calls.push_back(line);
    }
};

} // namespace quillet::test
