#pragma once

#include "platform/Shell.h"

namespace quillet {

class MessageBoxes;

// This desktop's shell: the session manager's own prompts, its settings panels and file
// search where they are installed; our own run dialog, icon picker, properties and about
// boxes; the toolkit's folder chooser; the viewer the desktop has for a help file's type.
class QtShell : public Shell
{
public:
    explicit QtShell(MessageBoxes &boxes);

    void shutDown(std::int32_t owner) override;
    void restart(std::int32_t owner, const QString &prompt, std::uint32_t kind) override;
    void run(const RunRequest &request) override;
    std::int32_t format(std::int32_t owner, std::int32_t drive, std::int32_t capacity,
                        std::int32_t formatType) override;
    std::optional<IconPick> pickIcon(const IconPick &start) override;
    ExtractedIcons extractIcon(const QString &path, std::int32_t index) override;
    std::int32_t copyIcon(std::int32_t icon) override;
    void destroyIcon(std::int32_t icon) override;
    std::optional<QString> chooseFolder(const FolderRequest &request) override;
    void objectProperties(std::int32_t owner, std::int32_t kind, const QString &name,
                          const QString &tab) override;
    void settingsPanel(std::int32_t kind, const QString &commandLine) override;
    void about(std::int32_t owner, const QString &appName, const QString &extra,
               std::int32_t icon) override;
    void findFiles() override;
    std::int32_t help(std::int32_t owner, const QString &file, std::int32_t command,
                      std::int32_t data) override;

private:
    MessageBoxes &m_boxes;
};

} // namespace quillet
