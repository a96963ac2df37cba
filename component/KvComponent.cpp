// The designer component's widgets live in this library.
