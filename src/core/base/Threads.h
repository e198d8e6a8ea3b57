#pragma once

namespace quillmark {

// Tells the system that the calling thread works for throughput in the
// background of another that does the main work (reading ahead, writing
// behind): on Linux it joins the batch scheduling class, so that waking it
// does not take the processor from the thread that woke it. It still gets
// its fair share of time. Elsewhere, and where the system refuses, nothing
// changes.
void MarkBackgroundThread();

// The processor cores the system has, looked up once: two hardware threads
// of one core count once. At most the hardware threads; those where the
// system does not tell.
unsigned ProcessorCores();

}  // namespace quillmark
