// Keeps a room that has no sources yet a valid object library.
