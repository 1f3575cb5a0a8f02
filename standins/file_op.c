// Stand-in libfile_op. A device build links the real library beside libnvram; the program calls
// nothing in it, so the stand-in only has to exist under the same name.
int file_op_stand_in(void);

int file_op_stand_in(void) {
    return 0;
}
