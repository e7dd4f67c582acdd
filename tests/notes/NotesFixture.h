#pragma once

#include "support/FakeChoosers.h"
#include "support/FakeMessageBoxes.h"
#include "support/FakePrinters.h"
#include "support/NotesControls.h"
#include "support/TestDatabase.h"

#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace quillet::test {

// A notes window over a database of its own, with scripted message boxes.
class NotesFixture : public testing::Test
{
protected:
    Form3 &load(const std::vector<Row> &rows)
    {
        createDatabase(path, rows);
        return loadExisting();
    }

    Form3 &loadExisting()
    {
        form = std::make_unique<Form3>(platform, session);
        session.setPath(path);
        form->Form_Load();
        return *form;
    }

    // The window's controls, found by name.
    NotesControls ui() const { return NotesControls(*form); }

    // The outline as "key:title" in index order, with children indented by depth.
    std::vector<std::string> outline() const
    {
        std::vector<std::string> lines;
        OutlineView &tree = *ui().TreeView1;
        for (int i = 1; i <= tree.count(); ++i)
            lines.push_back(tree.key(i).toStdString() + ":" + tree.text(i).toStdString());
        return lines;
    }

    // Waits for the pause in typing to pass, as the timer that stores typed text sees it.
    void waitForTypingPause()
    {
        auto *pause = form->findChild<QTimer *>(QStringLiteral("typingPause"));
        ASSERT_NE(pause, nullptr);
        if (!pause->isActive())
            return;
        QSignalSpy fired(pause, &QTimer::timeout);
        ASSERT_TRUE(fired.wait(10000));
    }

    TempFolder folder;
    std::string path = folder.path("mydata.mdb");
    FakeMessageBoxes boxes;
    FakeChoosers choosers;
    FakePrinters printers;
    Platform platform{boxes, &choosers, nullptr, &printers};
    NotesSession session;
    std::unique_ptr<Form3> form;
};

} // namespace quillet::test
