/* A module that only carries a program's skin resources for the tests. */
int ov_skin_module_marker = 1;
