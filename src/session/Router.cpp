#include "Router.h"

void Router::route(QStringView tag, Handler handler) {
    m_handlers.insert(tag.toString(), std::move(handler));
}

void Router::unroute(QStringView tag) {
    m_handlers.remove(tag.toString());
}

bool Router::dispatch(const IncomingLine &line) const {
    const auto handler = m_handlers.constFind(line.tag);
    if (handler == m_handlers.cend())
        return false;
    // Copy first: the handler may route or unroute tags.
    const Handler run = handler.value();
    run(line);
    return true;
}
