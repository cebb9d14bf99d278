/* A do-nothing program whose only purpose is its version resource (or the
   lack of one), for the tests of the FileVersion probe. */
int main(void) { return 0; }
