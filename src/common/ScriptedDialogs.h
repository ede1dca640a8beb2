#pragma once
// A dialog service for tests: answers come from a queue that the test fills,
// and every question asked is recorded so the test can assert on it.

#include "common/Dialogs.h"

#include <deque>
#include <vector>

namespace kf {

class ScriptedDialogs : public IDialogs {
public:
    enum class Kind {
        OpenFiles, SaveFile, Color, Information, Confirm, OkCancel, SaveDiscard, Input, Warning, Message, Error
    };

    struct Asked {
        Kind kind;
        QString caption; // dialog title or box caption
        QString text;    // message, prompt or filter
        FileRequest request;
    };

    // An answer: accepted or cancelled, with the value for the dialogs that give one.
    struct Answer {
        bool accept = true;
        QStringList files;   // open/save
        uint32_t color = 0;  // colour
        QString text;        // input box
        bool discard = false; // Save/Discard/Cancel: Discard (accept false)
    };

    // Queues answers. A question with no queued answer is cancelled (No, Cancel,
    // empty file name, no colour, no input).
    void answerFiles(const QStringList &files) { m_answers.push_back({true, files, 0, {}}); }
    void answerFile(const QString &file) { answerFiles(QStringList{file}); }
    void answerColor(uint32_t color) { m_answers.push_back({true, {}, color, {}}); }
    void answerText(const QString &text) { m_answers.push_back({true, {}, 0, text}); }
    void answerYes() { m_answers.push_back({true, {}, 0, {}}); }
    void answerNo() { m_answers.push_back({false, {}, 0, {}}); }
    void answerCancel() { answerNo(); }
    // Answers to a Save/Discard/Cancel question (answerCancel for Cancel).
    void answerSave() { answerYes(); }
    void answerDiscard() { m_answers.push_back({false, {}, 0, {}, true}); }

    const std::vector<Asked> &asked() const { return m_asked; }
    // Number of questions/messages of one kind asked so far.
    int count(Kind kind) const;
    // The last one asked of a kind; throws std::out_of_range if none.
    const Asked &last(Kind kind) const;
    void clear()
    {
        m_asked.clear();
        m_answers.clear();
    }
    int pendingAnswers() const { return int(m_answers.size()); }

    QStringList openFiles(const FileRequest &request) override;
    QString saveFile(const FileRequest &request) override;
    std::optional<uint32_t> chooseColor(uint32_t initial) override;
    void information(const QString &text) override;
    bool confirm(const QString &text) override;
    bool okCancel(const QString &text) override;
    SaveAnswer saveDiscardCancel(const QString &text) override;
    std::optional<QString> inputBox(const QString &caption, const QString &prompt,
                                    const QString &defaultValue) override;
    void warning(const QString &caption, const QString &text) override;
    void message(const QString &caption, const QString &text) override;
    void error(const QString &caption, const QString &text) override;

private:
    Answer next();
    std::vector<Asked> m_asked;
    std::deque<Answer> m_answers;
};

} // namespace kf
