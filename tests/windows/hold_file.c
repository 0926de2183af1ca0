/* Holds a file open, as another program of the player's would, until a line arrives on standard
   input. Built for Windows by the wine scenarios; the C runtime's fopen shares the file for reading
   and writing, so only an opener that asks for the file alone is refused. */
#include <stdio.h>

int main(int argc, char** argv) {
    if (argc != 2) {
        fputs("usage: hold_file PATH\n", stderr);
        return 2;
    }
    FILE* held = fopen(argv[1], "rb");
    if (!held) {
        printf("cannot open %s\n", argv[1]);
        return 1;
    }
    printf("held\n");
    fflush(stdout);
    getchar();
    fclose(held);
    return 0;
}
