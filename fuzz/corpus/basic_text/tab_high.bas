10 PRINT	"é"
