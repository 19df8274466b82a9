// Edit > Find: the bar at the bottom of the main window that finds text in the fax. The
// fax's words are read on a worker thread (the cache first, then the recogniser, the page
// on screen first), and the bar counts hits as pages arrive; the window shows the hits of
// the page on screen and goes to the current one.
#pragma once

#include <QString>
#include <QToolBar>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "ocr/word_search.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

namespace app {

// The longest the viewer waits at exit for a worker that was told to stop.
inline constexpr std::chrono::milliseconds kFindStopWait{1000};

// Waits until every worker thread has ended, at most `limit`; false when one still runs.
bool WaitForFindWorkers(std::chrono::milliseconds limit);

class FindBar : public QToolBar {
    Q_OBJECT
public:
    explicit FindBar(QWidget* parent = nullptr);
    ~FindBar() override;

    // The page on screen, asked for where a search starts.
    std::function<unsigned()> pageOnScreen;

    // Shows the bar with the field focused and its text selected, and starts reading the
    // fax at `fax` (the path the window shows) unless it is being read already.
    void open(const QString& fax, const QString& language);
    // Sets the text to find (as if typed).
    void setText(const QString& text);
    // Enter, F3 (forward) and Shift+Enter, Shift+F3: the next or previous hit, wrapping.
    void step(bool forward);
    // A new or changed fax is on screen: what was read is dropped, and an open bar reads it.
    void faxChanged(const QString& fax);
    // Stops reading at once (the window closes); the worker ends within one page.
    void stop();
    // Esc and the close button: hides the bar, stops reading and clears the highlight.
    void close();

    const ocr::SearchHits& hits() const { return hits_; }
    // The words of `page`, nullptr when it has not been read.
    const std::vector<ocr::Word>* pageWords(unsigned page) const;
    bool reading() const { return job_ != nullptr; }
    QLineEdit* field() const { return field_; }
    QLabel* countLabel() const { return count_; }
    QCheckBox* matchCase() const { return matchCase_; }

signals:
    // The current hit changed: the window goes to it.
    void currentHitChanged();
    // Hits were added or removed without moving the current one.
    void hitsChanged();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    struct Job;
    void start();
    void take();  // what the worker delivered
    void search();
    void showCount();

    QLineEdit* field_ = nullptr;
    QToolButton* previous_ = nullptr;
    QToolButton* next_ = nullptr;
    QCheckBox* matchCase_ = nullptr;
    QLabel* count_ = nullptr;
    QString fax_, language_;
    std::shared_ptr<Job> job_;
    std::map<unsigned, std::vector<ocr::Word>> words_;
    unsigned pages_ = 0, readingPage_ = 0;
    QString refusal_;  // the recogniser's refusal (missing language data), shown in the count
    ocr::SearchHits hits_;
};

}  // namespace app
