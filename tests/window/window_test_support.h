#pragma once

// Shared by the window tests: a desktop that records instead of showing
// anything, scratch files, and lookups of the window's controls by name.

#include "app/dir_list.h"
#include "app/drive_list.h"
#include "app/file_list.h"
#include "app/form1.h"
#include "app/window_services.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <QTest>

#include <functional>

namespace orv::test {

class RecordingServices : public WindowServices {
public:
    QStringList messages;
    QStringList pages;
    QStringList documents;
    // Runs while a message "shows", to look at the window at that moment.
    std::function<void()> whileShowing;

    void reportSuccess(const std::string& message) override { showMessage(decode(message)); }
    void reportFailure(const std::string& description) override {
        showMessage(decode(description));
    }
    void openDocument(const std::string& path) override { documents.append(decode(path)); }
    void showMessage(const QString& text) override {
        messages.append(text);
        if (whileShowing)
            whileShowing();
    }
    void openPage(const QString& path) override { pages.append(path); }

private:
    static QString decode(const std::string& bytes) { return QFile::decodeName(bytes.c_str()); }
};

inline bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

template <typename Widget> Widget* control(const Form1& form, const char* name) {
    auto* widget = form.findChild<Widget*>(QLatin1String(name));
    if (widget == nullptr)
        qFatal("no control named %s", name);
    return widget;
}

inline DriveList* drive1(const Form1& form) {
    return control<DriveList>(form, "Drive1");
}
inline DirList* dir1(const Form1& form) {
    return control<DirList>(form, "Dir1");
}
inline FileList* file1(const Form1& form) {
    return control<FileList>(form, "File1");
}

// Selects name in File1 as a click on it would.
inline void selectInFile1(const Form1& form, const QString& name) {
    FileList* list = file1(form);
    const qsizetype row = list->fileNames().indexOf(name);
    QVERIFY2(row >= 0, qPrintable(name + " is not listed"));
    const QModelIndex index = list->model()->index(int(row), 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

// Files in folder, sorted, for "what was written" checks.
inline QStringList filesIn(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden, QDir::Name);
}

} // namespace orv::test
