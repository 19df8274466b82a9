#include "viewer/find_bar.h"

#include <QCheckBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

#include "ocr/text_cache.h"

namespace app {

namespace {

// Recognition runs below the window's priority, so scrolling stays smooth meanwhile.
constexpr int kWorkerNice = 10;
// Recognisers at work at once: a stopped one may still be ending its page (the recogniser
// looks at the stop flag only between words) while the next fax is read.
constexpr int kMaxRecognisers = 2;

// Every worker thread of the process. Never destroyed: a worker that is still ending when
// the program exits must not find them gone.
struct Workers {
    std::mutex mutex;
    std::condition_variable changed;
    int running = 0;      // threads alive
    int recognising = 0;  // of them, reading a fax
};

Workers& TheWorkers() {
    static Workers* workers = new Workers;
    return *workers;
}

}  // namespace

bool WaitForFindWorkers(std::chrono::milliseconds limit) {
    Workers& w = TheWorkers();
    std::unique_lock lock(w.mutex);
    return w.changed.wait_for(lock, limit, [&] { return w.running == 0; });
}

// What the worker hands to the bar. The worker holds it as long as it runs; the bar lets go
// of it when it stops reading, first clearing `wake` so no call reaches a bar that is gone.
struct FindBar::Job {
    std::atomic<bool> cancel{false};
    std::mutex mutex;
    std::function<void()> wake;  // called with `mutex` held
    unsigned pages = 0, reading = 0;
    std::vector<std::pair<unsigned, std::vector<ocr::Word>>> arrived;
    bool done = false;
    ocr::Result result;

    template <typename Change>
    void Deliver(Change change) {
        std::lock_guard lock(mutex);
        change();
        if (wake) wake();
    }
};

FindBar::FindBar(QWidget* parent) : QToolBar(parent) {
    setObjectName(QStringLiteral("findBar"));
    setMovable(false);
    setFloatable(false);
    toggleViewAction()->setVisible(false);
    field_ = new QLineEdit(this);
    field_->setPlaceholderText(QStringLiteral("Find text in the fax"));
    field_->setClearButtonEnabled(true);
    field_->setMinimumWidth(200);
    field_->setMaximumWidth(320);
    previous_ = new QToolButton(this);
    previous_->setArrowType(Qt::UpArrow);
    previous_->setToolTip(QStringLiteral("Previous (Shift+F3)"));
    next_ = new QToolButton(this);
    next_->setArrowType(Qt::DownArrow);
    next_->setToolTip(QStringLiteral("Next (F3)"));
    matchCase_ = new QCheckBox(QStringLiteral("Match case"), this);
    count_ = new QLabel(this);
    count_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* close = new QToolButton(this);
    close->setIcon(style()->standardIcon(QStyle::SP_TitleBarCloseButton));
    close->setToolTip(QStringLiteral("Close (Esc)"));
    addWidget(field_);
    addWidget(previous_);
    addWidget(next_);
    addSeparator();
    addWidget(matchCase_);
    addSeparator();
    addWidget(count_);
    auto* spacer = new QWidget(this);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    addWidget(spacer);
    addWidget(close);
    for (QWidget* w : {static_cast<QWidget*>(previous_), static_cast<QWidget*>(next_), static_cast<QWidget*>(close)})
        w->setFocusPolicy(Qt::NoFocus);
    connect(field_, &QLineEdit::textChanged, this, &FindBar::search);
    connect(matchCase_, &QCheckBox::toggled, this, [this] {
        search();
        field_->setFocus();
    });
    connect(previous_, &QToolButton::clicked, this, [this] { step(false); });
    connect(next_, &QToolButton::clicked, this, [this] { step(true); });
    connect(close, &QToolButton::clicked, this, &FindBar::close);
    hide();
}

FindBar::~FindBar() {
    stop();
    // Ends with the window: the worker is told to stop and given a moment to do so.
    WaitForFindWorkers(kFindStopWait);
}

const std::vector<ocr::Word>* FindBar::pageWords(unsigned page) const {
    auto it = words_.find(page);
    return it == words_.end() ? nullptr : &it->second;
}

void FindBar::open(const QString& fax, const QString& language) {
    if (fax != fax_ || language != language_) {
        language_ = language;
        faxChanged(fax);
    }
    refusal_.clear();  // language data may have been installed since
    show();
    field_->setFocus();
    field_->selectAll();
    search();
}

void FindBar::setText(const QString& text) { field_->setText(text); }

void FindBar::faxChanged(const QString& fax) {
    stop();
    fax_ = fax;
    words_.clear();
    pages_ = 0;
    refusal_.clear();
    search();
}

void FindBar::stop() {
    if (!job_) return;
    {
        std::lock_guard lock(job_->mutex);
        job_->wake = nullptr;
    }
    job_->cancel = true;
    job_.reset();
    // A worker waiting for its turn ends at once (the lock orders the flag before its wait).
    { std::lock_guard lock(TheWorkers().mutex); }
    TheWorkers().changed.notify_all();
    readingPage_ = 0;
    showCount();
}

void FindBar::close() {
    stop();
    hide();
    hits_.SetCurrent(ocr::SearchHits::npos);
    emit hitsChanged();
    if (auto* w = parentWidget()) w->setFocus();
}

void FindBar::start() {
    auto job = std::make_shared<Job>();
    job->wake = [this] { QMetaObject::invokeMethod(this, &FindBar::take, Qt::QueuedConnection); };
    job_ = job;
    const std::string path = fax_.toStdString(), language = language_.toStdString();
    const std::string cacheDir = ocr::DefaultTextCacheDir();  // read here: the environment is the window's
    const unsigned first = pageOnScreen ? pageOnScreen() : 1;
    {
        std::lock_guard lock(TheWorkers().mutex);
        ++TheWorkers().running;
    }
    std::thread([job, path, language, cacheDir, first] {
        Workers& w = TheWorkers();
        ocr::Result result{ocr::Status::Cancelled, {}};
        {
            std::unique_lock lock(w.mutex);
            w.changed.wait(lock, [&] { return job->cancel || w.recognising < kMaxRecognisers; });
        }
        if (!job->cancel) {
            {
                std::lock_guard lock(w.mutex);
                ++w.recognising;
            }
            ocr::TextEvents events;
            events.pageCount = [&](unsigned pages) { job->Deliver([&] { job->pages = pages; }); };
            events.reading = [&](unsigned page) {
                // Reading the cache is quick and wanted at once; recognising yields to the window.
                static thread_local bool yielded = false;
                if (!std::exchange(yielded, true)) ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), kWorkerNice);
                job->Deliver([&] { job->reading = page; });
            };
            events.words = [&](unsigned page, std::vector<ocr::Word>&& words) {
                job->Deliver([&] { job->arrived.emplace_back(page, std::move(words)); });
            };
            result = ocr::ReadFaxText(path, language, first, ocr::TextCache(cacheDir), events, &job->cancel);
            std::lock_guard lock(w.mutex);
            --w.recognising;
        }
        job->Deliver([&] {
            job->done = true;
            job->result = result;
        });
        {
            std::lock_guard lock(w.mutex);
            --w.running;
        }
        w.changed.notify_all();
    }).detach();
    showCount();
}

void FindBar::take() {
    if (!job_) return;
    std::vector<std::pair<unsigned, std::vector<ocr::Word>>> arrived;
    bool done = false;
    ocr::Result result;
    {
        std::lock_guard lock(job_->mutex);
        arrived.swap(job_->arrived);
        pages_ = job_->pages;
        readingPage_ = job_->reading;
        done = job_->done;
        result = job_->result;
    }
    const bool hadCurrent = hits_.currentHit() != nullptr;
    const std::size_t before = hits_.count();
    for (auto& [page, words] : arrived) {
        hits_.AddPage(page, words);
        words_[page] = std::move(words);
    }
    if (done) {
        job_.reset();
        readingPage_ = 0;
        if (!result.ok() && result.status != ocr::Status::Cancelled)
            refusal_ = QString::fromStdString(result.message).replace(QLatin1Char('\n'), QLatin1Char(' '));
    }
    // The first hit found from the page on screen on becomes the current one.
    if (!hadCurrent && hits_.count() > 0) {
        hits_.SetCurrent(hits_.FirstFrom(pageOnScreen ? pageOnScreen() : 1));
        emit currentHitChanged();
    } else if (hits_.count() != before) {
        emit hitsChanged();
    }
    showCount();
}

void FindBar::search() {
    hits_.Reset(ocr::WordQuery(field_->text().toStdString(), matchCase_->isChecked()));
    for (const auto& [page, words] : words_) hits_.AddPage(page, words);
    // Reading starts with the first thing to find, and goes on where it stopped.
    if (!hits_.query().empty() && !isHidden() && !job_ && !fax_.isEmpty() && refusal_.isEmpty() &&
        (pages_ == 0 || words_.size() < pages_))
        start();
    if (hits_.count() > 0) {
        hits_.SetCurrent(hits_.FirstFrom(pageOnScreen ? pageOnScreen() : 1));
        emit currentHitChanged();
    } else {
        emit hitsChanged();
    }
    showCount();
}

void FindBar::step(bool forward) {
    if (hits_.Step(forward, pageOnScreen ? pageOnScreen() : 1)) emit currentHitChanged();
    showCount();
}

void FindBar::showCount() {
    QString text;
    const bool reading = job_ && readingPage_ > 0;
    const std::size_t n = hits_.count();
    if (!refusal_.isEmpty()) text = refusal_;
    else if (n > 0) text = QStringLiteral("%1 of %2").arg(hits_.current() + 1).arg(n);
    else if (!hits_.query().empty() && !job_) text = QStringLiteral("No match");
    if (reading && refusal_.isEmpty()) {
        const QString progress = QStringLiteral("Reading page %1 of %2\u2026").arg(readingPage_).arg(pages_);
        text = text.isEmpty() ? progress : text + QStringLiteral(", ") + progress.left(1).toLower() + progress.mid(1);
    }
    count_->setText(text);
    previous_->setEnabled(n > 0);
    next_->setEnabled(n > 0);
}

void FindBar::keyPressEvent(QKeyEvent* event) {
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    switch (event->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_F3: step(!shift); return;
        case Qt::Key_Escape: close(); return;
        default: QToolBar::keyPressEvent(event);
    }
}

}  // namespace app
