// tqc-open-timing: measures the time from the Open command to the unit painted in the pane, the
// time until the whole unit is in the pane and the longest the window left events waiting
// meanwhile, and can save a picture of the window afterwards.
// Usage: tqc-open-timing HEADER [--grab FILE.png] [--find N] [--runs N]
#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPixmap>
#include <QScrollBar>
#include <algorithm>
#include <cstdio>

#include "main_window.h"

namespace {

class TimingDialogs : public tqc::shell::ShellDialogs {
 public:
  explicit TimingDialogs(QString header) : header_(std::move(header)) {}
  int ShowMessageBox(QWidget*, const QString& text, int) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return tqc::shell::kIdNo;
  }
  std::optional<QString> OpenFileName(QWidget*, const QString&, const QString&) override {
    return header_;
  }
  std::optional<QString> SaveFileName(QWidget*, const QString&, const QString&,
                                      const QString&) override {
    return std::nullopt;
  }
  std::optional<QString> InputText(QWidget*, const QString&, const QString&,
                                   const QString& text) override {
    return text;
  }
  void OpenDocument(QObject*, const QString&, std::function<void(const QString&)>) override {}
  int ExecModal(QDialog&) override { return 0; }

 private:
  QString header_;
};

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList args = QApplication::arguments();
  if (args.size() < 2) {
    std::fprintf(stderr, "usage: tqc-open-timing HEADER [--grab FILE.png] [--find N] [--runs N]\n");
    return 2;
  }
  const QString header = QFileInfo(args.at(1)).absoluteFilePath();
  QString grab;
  int finds = 0, runs = 1;
  for (int i = 2; i + 1 < args.size(); i += 2) {
    if (args.at(i) == "--grab") grab = args.at(i + 1);
    if (args.at(i) == "--find") finds = args.at(i + 1).toInt();
    if (args.at(i) == "--runs") runs = args.at(i + 1).toInt();
  }
  tqc::shell::Ttqc_by_Morlen window(std::make_shared<TimingDialogs>(header));
  window.resize(900, 600);
  window.show();
  QApplication::processEvents();

  for (int run = 0; run < runs; ++run) {
    window.Edit1->document()->setModified(false);
    QElapsedTimer timer;
    timer.start();
    window.Open2Execute();
    QApplication::processEvents();
    window.Edit1->viewport()->repaint();
    const double shown = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    QElapsedTimer turn;
    turn.start();
    qint64 longest = 0;
    while (window.Converting()) {
      QApplication::processEvents();
      longest = std::max(longest, turn.nsecsElapsed());
      turn.restart();
    }
    const double whole = static_cast<double>(timer.nsecsElapsed()) / 1e6;
    std::printf("%s: shown in %.1f ms, %d lines in %.1f ms (longest pause %.1f ms);%s\n",
                qPrintable(QFileInfo(header).fileName()), shown,
                window.Edit1->document()->blockCount(), whole, static_cast<double>(longest) / 1e6,
                qPrintable(window.StatusText()));
  }
  for (int i = 0; i < finds; ++i) window.Find2Execute();
  QApplication::processEvents();
  if (!grab.isEmpty()) window.grab().save(grab);
  return 0;
}
