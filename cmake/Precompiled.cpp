// The unit the shared precompiled headers are built with; it holds nothing of its own.
