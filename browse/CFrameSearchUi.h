// The engine's door into the window. The engine's threads call it from
// their own thread; every call is queued onto the user-interface thread as
// a signal, so no worker thread touches a widget. Connect its signals to
// the window (they arrive there queued).
#pragma once

#include <QObject>
#include <QString>

#include "engine/ISearchUi.h"

namespace pq {

class CFrameSearchUi : public QObject, public ISearchUi {
    Q_OBJECT
public:
    using QObject::QObject;

    // Any thread.
    void SetPaneText(int pane, const std::string& text) override {
        emit PaneText(pane, QString::fromStdString(text));
    }
    void StartActivityTimer(int timerId) override { emit TimerStart(timerId); }
    void StopActivityTimer(int timerId) override { emit TimerStop(timerId); }
    void SetStatusMessage(const std::string& text) override {
        emit StatusMessage(QString::fromStdString(text));
    }
    void SearchEnded() override { emit Ended(); }
    void AddHistoryEntry(const std::string& count) override {
        emit HistoryEntry(QString::fromStdString(count));
    }
    void PictureSaved(int count) override { emit Saved(count); }
    void DownloadsEnded() override { emit DownloadsDone(); }
    void ReportError(const std::string& message) override {
        emit Error(QString::fromStdString(message));
    }
    void Log(const std::string& line) override { emit LogLine(QString::fromStdString(line)); }

signals:
    void PaneText(int pane, const QString& text);
    void TimerStart(int timerId);
    void TimerStop(int timerId);
    void StatusMessage(const QString& text);
    void Ended();
    void HistoryEntry(const QString& downloadedCount);
    void Saved(int count);
    void DownloadsDone();
    void Error(const QString& message);
    void LogLine(const QString& line);
};

}  // namespace pq
