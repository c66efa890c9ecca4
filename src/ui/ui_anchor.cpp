// orvel_ui collects the windows; this keeps the library non-empty until they arrive.
namespace orvel_ui {
int linkAnchor = 0;
}
