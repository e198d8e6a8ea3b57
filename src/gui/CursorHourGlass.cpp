#include "gui/CursorHourGlass.h"

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>

namespace quillmark {

namespace {

class TCursorHourGlass final : public ICursorHourGlass {
  public:
    explicit TCursorHourGlass(Qt::CursorShape cursor) {
        QGuiApplication::setOverrideCursor(QCursor(cursor));
        QCoreApplication::processEvents();
    }
    ~TCursorHourGlass() override { QGuiApplication::restoreOverrideCursor(); }
};

}  // namespace

TCursorHourGlassRef CreateCursorHourGlass(Qt::CursorShape cursor) {
    return std::make_shared<TCursorHourGlass>(cursor);
}

}  // namespace quillmark
