// Links one layer's library whole, with only the layers it may use: a call into a higher layer is
// an undefined reference here (cmake/Layers.cmake).
int main()
{
    return 0;
}
