// TBackgroundWork: the work the tables do between the program's events, in
// short slices on the user-interface thread: reading each table into its digest
// (what the quick search, the exact counts and the statistics use). A slice
// lasts about 15 ms, so that keys and clicks wait at most that long; no slice
// runs while a long command's progress window is open. When nothing is left,
// Done is called (the main window then shows the counts it was waiting for).
#ifndef APP_BACKGROUNDWORK_H_
#define APP_BACKGROUNDWORK_H_

#include <QObject>
#include <functional>

class QTimer;

class TBackgroundWork : public QObject {
  Q_OBJECT

 public:
  explicit TBackgroundWork(QObject* parent = nullptr);

  // Starts the slices, or lets them go on; nothing when nothing is pending.
  void Start();
  bool Running() const;
  // Runs every slice left at once (tests, benchmarks).
  void Finish();

  std::function<void()> Done;

 private:
  void Slice();
  static bool Pending();

  QTimer* timer_;
};

#endif  // APP_BACKGROUNDWORK_H_
