// Linked with the whole of one engine layer and only the layers below it: an
// undefined reference means the layer calls into a higher one.
int main() { return 0; }
