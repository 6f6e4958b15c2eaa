#include "app/qt/qt_desktop.h"

#include <QApplication>
#include <QFileDialog>
#include <QStringList>

#include "app/qt/ui_common.h"

namespace tarvenix::qt {

std::int32_t QtDesktop::handle_of(QWidget* window) {
    for (std::size_t i = 0; i < windows_.size(); ++i) {
        if (windows_[i] == window) {
            return static_cast<std::int32_t>(i + 1);
        }
    }
    windows_.emplace_back(window);
    return static_cast<std::int32_t>(windows_.size());
}

QWidget* QtDesktop::window_of(std::int32_t handle) const {
    if (handle < 1 || static_cast<std::size_t>(handle) > windows_.size()) {
        return nullptr;
    }
    return windows_[static_cast<std::size_t>(handle - 1)].data();
}

QString QtDesktop::qt_filter(std::string_view filter) {
    QStringList parts;
    std::size_t pos = 0;
    while (pos < filter.size()) {
        const auto desc_end = filter.find('\0', pos);
        if (desc_end == std::string_view::npos) {
            break;
        }
        const auto pattern_end = std::min(filter.find('\0', desc_end + 1), filter.size());
        const QString description = to_qstring(filter.substr(pos, desc_end - pos));
        QString patterns = to_qstring(filter.substr(desc_end + 1, pattern_end - desc_end - 1));
        patterns.replace(u';', u' ');
        parts << description + u" ("_qs + patterns + u")"_qs;
        pos = pattern_end + 1;
    }
    return parts.join(u";;"_qs);
}

std::string QtDesktop::open_file_dialog(std::int32_t owner, std::string_view title,
                                        std::string_view filter, std::string_view initial_folder) {
    return to_std(QFileDialog::getOpenFileName(window_of(owner), to_qstring(title),
                                               to_qstring(initial_folder), qt_filter(filter)));
}

std::string QtDesktop::save_file_dialog(std::int32_t owner, std::string_view title,
                                        std::string_view filter, std::string_view initial_folder,
                                        std::string_view proposed_name) {
    QString start = to_qstring(initial_folder);
    if (!proposed_name.empty()) {
        start += u'/' + to_qstring(proposed_name);
    }
    // The dialog itself asks before an existing file is overwritten.
    return to_std(QFileDialog::getSaveFileName(window_of(owner), to_qstring(title), start,
                                               qt_filter(filter)));
}

std::int32_t QtDesktop::find_window(std::string_view title) {
    const QString wanted = to_qstring(title);
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->windowTitle() == wanted) {
            return handle_of(window);
        }
    }
    return 0;
}

void QtDesktop::bring_to_front(std::int32_t window) {
    if (QWidget* w = window_of(window); w != nullptr && w->isVisible()) {
        w->raise();
        w->activateWindow();
    }
}

void QtDesktop::set_top_most(std::int32_t window, bool top_most) {
    if (QWidget* w = window_of(window)) {
        w->setWindowFlag(Qt::WindowStaysOnTopHint, top_most);
        w->show();  // changing the flags hides a window; this helper shows it
    }
}

void QtDesktop::request_close(std::int32_t window) {
    if (QWidget* w = window_of(window)) {
        w->close();
    }
}

}  // namespace tarvenix::qt
