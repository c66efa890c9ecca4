// The support library needs one object file of its own.
namespace orvel_test_support {
int linkAnchor = 0;
}
