#include "gui/run_worker_qt.h"

#include <QMetaObject>
#include <utility>

namespace hw {

QtRunWorker::QtRunWorker(Enter enter) : enter_(std::move(enter)) {}

QtRunWorker::~QtRunWorker() {
    Join();
}

void QtRunWorker::Join() {
    if (thread_.joinable()) thread_.join();
}

void QtRunWorker::Start(std::function<void()> work, std::function<void()> done) {
    // The model starts no second run before the first one's end; a thread left from the last
    // run has finished its work by the time its end was handed back.
    Join();
    busy_ = true;
    thread_ = std::thread([this, work = std::move(work), done = std::move(done)]() mutable {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        QMetaObject::invokeMethod(
            this,
            [this, error, done = std::move(done)] {
                Join();
                // The run's end is told even when its work failed unexpectedly, so that the
                // window never stays in its busy state.
                if (error) enter_([error] { std::rethrow_exception(error); });
                busy_ = false;
                enter_(done);
                if (whenIdle_) std::exchange(whenIdle_, nullptr)();
            },
            Qt::QueuedConnection);
    });
}

void QtRunWorker::Post(std::function<void()> step) {
    QMetaObject::invokeMethod(
        this, [this, step = std::move(step)] { enter_(step); }, Qt::QueuedConnection);
}

void QtRunWorker::whenIdle(std::function<void()> then) {
    if (!busy_) {
        then();
        return;
    }
    whenIdle_ = std::move(then);
}

}  // namespace hw
