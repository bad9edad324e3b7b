#pragma once
// Components freed later. TComponent::Release puts a component here; it is freed once the message being
// handled is done, by a message the queue posts to a hidden window of its own, so it happens inside modal
// loops too. It waits while the handler that released it runs and while it or anything it owns or
// contains is handling a message (a modal form, a control in the middle of one of its messages), since
// such a handler may run a nested message loop and use it afterwards. Components freed meanwhile are
// skipped.
#include "Classes.h"

// Frees `component` later, as described above.
void ReleaseComponent(TComponent* component);
// Frees the released components that may go now; the rest keep waiting.
void FreeReleasedComponents();
// Components released and not freed yet (those freed otherwise meanwhile may still count).
int ReleasedComponentCount();
// Called when a message of a library window has been handled or a modal loop has ended: if a released
// component that had to wait may go now, the queue tries again. Costs nothing when none waits.
void ResumeWaitingReleases();
