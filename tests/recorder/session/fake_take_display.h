// A take display for the session's tests: keeps every text, message, control state and question
// the session shows, answers questions as told, and lets a test look at the data folder at chosen
// moments (a status text that starts with a given prefix).
#pragma once

#include "session/take_display.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace wavelark::testing {

class FakeTakeDisplay : public TakeDisplay {
public:
    struct Message {
        QString kind;  // "warn", "error" or "ask"
        QString caption;
        QString text;
    };

    QStringList statusTexts;
    QString status;
    int progress = 0;
    HealthDisplay health;
    bool healthShown = false;
    QString recordButton = QStringLiteral("Record");
    QString playButton = QStringLiteral("Play");
    std::vector<Message> messages;
    std::vector<ControlStates> states;
    int archiveRefreshes = 0;
    int closeRequests = 0;
    bool answer = true;
    // Runs on every status text, after it is kept.
    std::function<void(const QString&)> onStatus;

    void setStatusText(const QString& text) override
    {
        status = text;
        statusTexts << text;
        if (onStatus)
            onStatus(text);
    }
    void setProgress(int percent) override { progress = percent; }
    void showHealth(const HealthDisplay& display) override
    {
        health = display;
        healthShown = true;
    }
    void clearHealth() override { healthShown = false; }
    void setRecordButtonText(const QString& text) override { recordButton = text; }
    void setPlayButtonText(const QString& text) override { playButton = text; }
    void warn(const QString& caption, const QString& text) override
    {
        messages.push_back({QStringLiteral("warn"), caption, text});
    }
    void error(const QString& caption, const QString& text) override
    {
        messages.push_back({QStringLiteral("error"), caption, text});
    }
    bool ask(const QString& caption, const QString& text) override
    {
        messages.push_back({QStringLiteral("ask"), caption, text});
        return answer;
    }
    void applyControlStates(const ControlStates& controlStates) override { states.push_back(controlStates); }
    void refreshArchive() override { ++archiveRefreshes; }
    void closeWindow() override { ++closeRequests; }

    // The warnings and errors only, without the questions.
    std::vector<Message> shown() const
    {
        std::vector<Message> result;
        for (const Message& message : messages) {
            if (message.kind != QStringLiteral("ask"))
                result.push_back(message);
        }
        return result;
    }
};

}
