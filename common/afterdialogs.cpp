// SPDX-License-Identifier: GPL-3.0-or-later
#include "afterdialogs.h"

#include <QApplication>

namespace {

constexpr int kRetryMs = 300;

} // namespace

AfterDialogs::AfterDialogs(std::function<bool()> busy, std::function<void()> work, QObject *parent)
    : QObject(parent), m_busy(std::move(busy)), m_work(std::move(work))
{
    m_retry.setInterval(kRetryMs);
    connect(&m_retry, &QTimer::timeout, this, &AfterDialogs::tryNow);
}

void AfterDialogs::request()
{
    tryNow();
}

void AfterDialogs::tryNow()
{
    if (m_busy()) {
        if (!m_retry.isActive())
            m_retry.start();
        return;
    }
    m_retry.stop();
    m_work();
}

bool AfterDialogs::dialogOpen()
{
    return QApplication::activeModalWidget() || QApplication::activePopupWidget();
}
