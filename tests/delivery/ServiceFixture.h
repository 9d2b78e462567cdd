#pragma once

#include "DeliveryFixture.h"
#include "ServiceStandIn.h"

#include <QJsonDocument>
#include <QJsonObject>

// DeliveryFixture with the loopback feedback service as the service's base URL.
class ServiceFixture : public DeliveryFixture {
protected:
    void SetUp() override {
        DeliveryFixture::SetUp();
        ASSERT_TRUE(service.listen());
        Feedback::setFeedbackServiceURL(service.baseUrl());
    }

    static QJsonObject json(const QByteArray& body) { return QJsonDocument::fromJson(body).object(); }

    ServiceStandIn service;
};
