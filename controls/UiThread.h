// The Qt side of the one way work leaves the UI thread (platform/Threads.h starts the threads):
// how a worker hands UI work and the things it no longer needs back to the UI thread.
//
// - postToUi queues UI work for a receiver that lives on the UI thread. Work posted from one thread
//   runs in the order posted. The work and everything it captured are destroyed on the UI thread,
//   also when the receiver is gone before it runs (the work is dropped then).
// - releaseOnUi hands a worker's captures (a finished job) to the UI thread to be destroyed, so a
//   capture that is a QObject, a QPixmap or the last owner of one never dies on a worker. Before
//   the first UI anchor exists, or after the application is gone, they die on the calling thread.
//
// Both carry the ThreadSanitizer hand-off annotations, so a TSan build sees the order Qt's event
// queue gives. The caller of postToUi guarantees that receiver is alive during the call (the
// operation runner holds its mutex for that); any thread may call releaseOnUi.
#pragma once

#include <functional>

class QObject;

namespace orvex {

void postToUi(QObject* receiver, std::function<void()> ui);
void releaseOnUi(std::function<void()> owned);

// Makes the object that receives every hand-off on the UI thread, a child of the application
// object (gone with it). Runs by itself as the application object is made; calling it again does
// nothing.
void installUiAnchor();

} // namespace orvex
