#pragma once
// Work that may touch a mount that stops answering (a stalled FUSE or
// network mount, a card that hangs), done on a thread of its own while the
// window keeps painting: the window waits for it in an event loop that
// holds back the user's input, and gives up after a time limit. Work that
// does not end in time goes on alone; its result is dropped.

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

// How long the window waits plainly before it paints on while it waits.
inline constexpr int kBezZamrazaniaOdRazuMs = 50;

template <typename T> std::optional<T> bezZamrazania(std::function<T()> praca, int limit) {
    struct Stan {
        std::atomic_bool gotowe{false};
        T wynik{};
    };
    auto stan = std::make_shared<Stan>();
    QThread* watek = QThread::create([stan, praca = std::move(praca)] {
        stan->wynik = praca();
        stan->gotowe = true;
    });
    QObject::connect(watek, &QThread::finished, watek, &QObject::deleteLater);
    QEventLoop petla;
    QObject::connect(watek, &QThread::finished, &petla, &QEventLoop::quit);
    QTimer::singleShot(limit, &petla, &QEventLoop::quit);
    watek->start();
    // Work that ends at once (a healthy disk) is waited for plainly: no
    // event is served in between. Only then does the window paint on.
    if (!watek->wait(QDeadlineTimer(kBezZamrazaniaOdRazuMs)) && !stan->gotowe)
        petla.exec(QEventLoop::ExcludeUserInputEvents);
    if (!stan->gotowe)
        return std::nullopt;
    return std::move(stan->wynik);
}
