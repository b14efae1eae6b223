// One running copy per user. The first copy holds the instance lock for its whole life and
// listens for requests; a second copy asks it to come forward and ends.
#pragma once

#include <QObject>
#include <memory>

namespace hw {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    explicit SingleInstance(QObject* parent = nullptr);
    ~SingleInstance() override;

    // True when another copy runs and this one must end. When false, this copy owns the
    // instance lock from now on and answers later copies' requests.
    bool AlreadyRun();
    // A second copy's request to the first one to come forward. False when no first copy
    // could be reached within a few seconds.
    bool ActivatePrevInstance();

  signals:
    // A later copy asked this one to come forward.
    void activationRequested();

  private:
    struct Private;
    std::unique_ptr<Private> d_;
};

}  // namespace hw
