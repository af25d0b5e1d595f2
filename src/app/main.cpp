// The program's entry.
#include "app/application.h"

int main(int argc, char** argv) {
    return stikko::runStikko(argc, argv);
}
