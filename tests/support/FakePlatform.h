#pragma once
#include "core/platform/FileDialogs.h"
#include "core/platform/MessageBoxes.h"
#include "core/platform/Platform.h"
#include "core/platform/ProgramEnd.h"
#include "core/platform/SettingsStore.h"
#include "core/platform/Shell.h"

#include <QMap>
#include <QStringList>
#include <deque>
#include <functional>
#include <vector>

// Records every box and answers from a queue; with the queue empty it takes the default button.
class RecordingMessageBoxes final : public MessageBoxes {
public:
    RecordingMessageBoxes() : MessageBoxes(QStringLiteral("Keyhaven")) {}
    std::vector<Box> boxes;
    std::deque<Answer> answers;
    std::function<void(const Box&)> onShow; // runs while the "modal" box is up

    QStringList texts() const;

protected:
    Answer present(const Box& box) override;
};

class RecordingProgramEnd final : public ProgramEnd {
public:
    int ends = 0;
    void endNow() override { ++ends; }
};

class MemorySettings final : public SettingsStore {
public:
    QMap<QString, QString> values; // "application/section/key"
    QString read(const QString& application, const QString& section, const QString& key,
                 const QString& fallback) override;
    void write(const QString& application, const QString& section, const QString& key, const QString& value) override;
    static QString path(const QString& application, const QString& section, const QString& key);
};

class RecordingShell final : public Shell {
public:
    QStringList opened;
    Result answer; // what every open reports
    Result open(const QString& target) override
    {
        opened.append(target);
        return answer;
    }
};

// Records what was proposed and answers from a queue; with the queue empty the user cancels.
class RecordingFileDialogs final : public FileDialogs {
public:
    QStringList proposed;
    std::deque<QString> answers;
    QString askSavePath(QWidget*, const QString&, const QString& path) override
    {
        proposed.append(path);
        if (answers.empty())
            return {};
        const QString answer = answers.front();
        answers.pop_front();
        return answer;
    }
};

struct FakePlatform {
    RecordingMessageBoxes messages;
    RecordingProgramEnd programEnd;
    MemorySettings settings;
    RecordingShell shell;
    RecordingFileDialogs files;
    Platform platform() { return Platform{messages, programEnd, settings, shell, files}; }
};
