#include "KvUndo.h"

#include "KvWindow.h"

#include <QUndoCommand>
#include <QUndoStack>

#include <exception>

// A change as the states before and after it. Pushing runs redo(): the change has happened
// already, so the first one does nothing.
class TKvStateCommand : public QUndoCommand {
public:
  TKvStateCommand(TCustomKvarta* kvarta, const QString& text,
                  std::shared_ptr<const TKvDesignState> before,
                  std::shared_ptr<const TKvDesignState> after)
      : QUndoCommand(text), m_kvarta(kvarta), m_before(std::move(before)),
        m_after(std::move(after)) {}
  void undo() override { m_kvarta->ApplyState(m_before, *m_after); }
  void redo() override {
    if (m_done) m_kvarta->ApplyState(m_after, *m_before);
    m_done = true;
  }

private:
  TCustomKvarta* m_kvarta; // owns the stack that owns this command
  std::shared_ptr<const TKvDesignState> m_before;
  std::shared_ptr<const TKvDesignState> m_after;
  bool m_done = false;
};

TKvUndoStep::TKvUndoStep(TCustomKvarta* kvarta, const QString& text) {
  // While a state is put back, what it changes is no step of the user's.
  if (!kvarta || kvarta->m_restoring) return;
  m_kvarta = kvarta;
  m_uncaught = std::uncaught_exceptions();
  m_open = true;
  if (kvarta->m_stepDepth++ > 0) return;
  kvarta->m_stepFailed = false;
  kvarta->m_stepText = text;
  kvarta->m_stepBefore = kvarta->SnapshotState();
}

TKvUndoStep::~TKvUndoStep() {
  if (!m_open) return;
  try {
    Finish(std::uncaught_exceptions() > m_uncaught);
  } catch (...) {
    // Nothing may leave a destructor; the state stays as the change left it.
  }
}

void TKvUndoStep::Commit() {
  if (m_open) Finish(false);
}

void TKvUndoStep::Cancel() {
  if (m_open) Finish(true);
}

void TKvUndoStep::Finish(bool failed) {
  m_open = false;
  TCustomKvarta* kvarta = m_kvarta;
  if (failed) kvarta->m_stepFailed = true;
  if (--kvarta->m_stepDepth > 0 || kvarta->m_destroying) return;
  std::shared_ptr<const TKvDesignState> before = std::move(kvarta->m_stepBefore);
  kvarta->m_stepBefore.reset();
  std::shared_ptr<const TKvDesignState> now = kvarta->SnapshotState();
  if (!before || now == before) return;
  if (kvarta->m_stepFailed) {
    kvarta->ApplyState(before, *now);
    return;
  }
  kvarta->m_undoStack->push(new TKvStateCommand(kvarta, kvarta->m_stepText, before, now));
}
