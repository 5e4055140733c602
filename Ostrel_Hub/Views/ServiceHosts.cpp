#include "Views/ServiceHosts.h"

#include "Model/AppModel.h"

namespace ostrel::hub {

ServiceHosts::ServiceHosts(QObject* parent) : QObject(parent) {}

QObject* ServiceHosts::hub() const {
    return model_.data();
}

void ServiceHosts::setHub(QObject* hub) {
    auto* model = qobject_cast<AppModel*>(hub);
    if (model == model_)
        return;
    model_ = model;
    emit hubChanged();
}

QString ServiceHosts::storeApiHost() const {
    return model_ ? QString::fromStdString(model_->services().config.storeApiHost) : QString();
}

QString ServiceHosts::identityApiHost() const {
    return model_ ? QString::fromStdString(model_->services().config.identityApiHost) : QString();
}

} // namespace ostrel::hub
