// Database access lives in this library.
