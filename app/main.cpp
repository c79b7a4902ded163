// qvxcat: the catalog program. Works on the catalog in the current directory.
#include "app/qvxcat.h"

int main(int argc, char** argv) { return QvxcatMain(argc, argv); }
