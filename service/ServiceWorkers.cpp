#include "service/ServiceWorkers.h"

#include "service/UpdateService.h"

#include <QEventLoop>
#include <QTextStream>
#include <QThread>

#include <future>
#include <memory>

namespace KDAutoUpdate {

ServiceWorkers::~ServiceWorkers() {
    for (const std::unique_ptr<QThread>& thread : m_threads) {
        thread->quit();
        thread->wait();
    }
}

bool ServiceWorkers::Start(int count, ServiceOptions options, const QHostAddress& address,
                           quint16 port, bool log, QString& error) {
    options.sharePort = true;
    for (int i = 0; i < count; ++i) {
        // Shared with the thread: it may still be inside set_value when the answer is read.
        auto started = std::make_shared<std::promise<QString>>();
        std::future<QString> problem = started->get_future();
        std::unique_ptr<QThread> thread(QThread::create([options, address, port, log, started] {
            QTextStream out(stdout);
            ServiceOptions own = options;
            own.log = log ? &out : nullptr;
            UpdateService service(own);
            const bool ok = service.IsCatalogueLoaded() && service.Start(address, port);
            started->set_value(ok ? QString() : service.ErrorString());
            if (!ok)
                return;
            // quit() on the thread ends this loop.
            QEventLoop loop;
            loop.exec();
        }));
        thread->start();
        error = problem.get();
        m_threads.push_back(std::move(thread));
        if (!error.isEmpty())
            return false;
    }
    return true;
}

} // namespace KDAutoUpdate
