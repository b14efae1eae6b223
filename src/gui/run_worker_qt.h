// The window's worker for backups and restores: one run at a time on a thread of its own, its
// end and its progress handed back to the event loop.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

#include "base/services.h"

namespace hw {

class QtRunWorker : public QObject, public RunWorker {
  public:
    // Every step handed back to the event loop goes through `enter` (the model's dispatcher), so
    // that an error escaping it reaches the general error report.
    using Enter = std::function<void(const std::function<void()>& step)>;
    explicit QtRunWorker(Enter enter);
    // Waits for a run under way: it is never cut short.
    ~QtRunWorker() override;
    QtRunWorker(const QtRunWorker&) = delete;
    QtRunWorker& operator=(const QtRunWorker&) = delete;

    void Start(std::function<void()> work, std::function<void()> done) override;
    void Post(std::function<void()> step) override;

    // From the start of a run until its `done` has run.
    bool busy() const { return busy_; }
    // Called once the run under way has ended, its `done` included; at once when none runs.
    void whenIdle(std::function<void()> then);

  private:
    void Join();

    Enter enter_;
    std::thread thread_;
    bool busy_ = false;
    std::function<void()> whenIdle_;
};

}  // namespace hw
