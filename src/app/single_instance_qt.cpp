// Scaffold: replaced by the real locks.
#include "app/single_instance_qt.h"

namespace hw {

SingleInstance::SingleInstance(const QString&, QObject* parent) : QObject(parent) {}
SingleInstance::~SingleInstance() = default;
bool SingleInstance::AlreadyRun() { return false; }
bool SingleInstance::ActivatePrevInstance() { return false; }

}  // namespace hw
