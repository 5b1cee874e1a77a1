// krdb: the database engine on the command line (app/krdb; "krdb --help" tells its use).
#include "app/krdb/krdb.h"

int main(int argc, char** argv) { return kr::krdb::Main(argc, argv); }
